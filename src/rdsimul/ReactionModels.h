// ReactionModels: the one list of reaction models and of the named parameters they read. The
// parser's lookup, the component counts, the steps, both kernel sets and the row kernels' dispatch
// are all expanded from these two lists; adding a model is one line here plus its two kernels.
#pragma once

// The named parameters the models read, X(Field, script name): ReactionConstants has one member
// Field per entry, read once per reaction pass under its script name.
#define VORNA_REACTION_PARAMETERS(X) \
    X(Alpha, "alpha")                \
    X(Beta, "beta")                  \
    X(Gamma, "gamma")                \
    X(Delta, "delta")                \
    X(K, "k")                        \
    X(C, "c")                        \
    X(D, "d")                        \
    X(E, "e")                        \
    X(P, "p")                        \
    X(A1, "a1")                      \
    X(A2, "a2")                      \
    X(B1, "b1")                      \
    X(B2, "b2")                      \
    X(C1, "c1")                      \
    X(C2, "c2")                      \
    X(D1, "d1")                      \
    X(D2, "d2")

// The models in the order of the script language's list, X(Id, script name, components,
// parameters...). Id names everything else a model has: its reference kernel Reference<Id>
// (ReferenceKernels.cpp), its row form, the RowModel::<Id> branch of ApplyModel
// (FastRowKernels.inc), and its step ReaDifSimulation::ReactionStep_<Id>. Each parameter is
// VORNA_MODEL_PARAMETER(Field of VORNA_REACTION_PARAMETERS, meaning in English and in French,
// typical value); the typical values are those of the example scripts. The first entry, plain
// diffusion, has no reaction pass at all (its kernels are null) and takes any number of
// components. The formula model reads the terms its script writes (FormulaProgram): its
// components are those the script's formula lines name (at most 4), its parameters the names
// they use.
#define VORNA_REACTION_MODELS(X)                                                              \
    X(Void, "diffusion", 1)                                                                   \
    X(Schlogl, "schlogl", 1)                                                                  \
    X(GinzburgLandau, "ginzburglandau", 2,                                                    \
      VORNA_MODEL_PARAMETER(Alpha, "linear growth rate of the amplitude",                     \
                            "taux de croissance linéaire de l'amplitude", 1.0),               \
      VORNA_MODEL_PARAMETER(Gamma, "rotation rate of the phase",                              \
                            "vitesse de rotation de la phase", 0.0),                          \
      VORNA_MODEL_PARAMETER(Delta, "shift of the rotation with the amplitude",                \
                            "décalage de la rotation avec l'amplitude", 1.5))                 \
    X(GinzburgLandauDer1, "gld1", 3,                                                          \
      VORNA_MODEL_PARAMETER(Alpha, "linear growth rate of the amplitude",                     \
                            "taux de croissance linéaire de l'amplitude", 1.0),               \
      VORNA_MODEL_PARAMETER(Gamma, "rotation rate of the phase",                              \
                            "vitesse de rotation de la phase", 0.5),                          \
      VORNA_MODEL_PARAMETER(Delta, "shift of the rotation with the amplitude",                \
                            "décalage de la rotation avec l'amplitude", 1.0))                 \
    X(GinzburgLandauDer2, "gld2", 4,                                                          \
      VORNA_MODEL_PARAMETER(A1, "coupling of A and B, linear", "couplage linéaire de A et B", \
                            0.2),                                                             \
      VORNA_MODEL_PARAMETER(A2, "coupling of (A, B) to (C, D), linear",                       \
                            "couplage linéaire de (A, B) vers (C, D)", 1.0),                  \
      VORNA_MODEL_PARAMETER(B1, "saturation of A and B", "saturation de A et B", 1.0),        \
      VORNA_MODEL_PARAMETER(B2, "rotation of (A, B) with the amplitude",                      \
                            "rotation de (A, B) avec l'amplitude", 1.0),                      \
      VORNA_MODEL_PARAMETER(C1, "coupling of C and D, linear", "couplage linéaire de C et D", \
                            0.2),                                                             \
      VORNA_MODEL_PARAMETER(C2, "coupling of (C, D) to (A, B), linear",                       \
                            "couplage linéaire de (C, D) vers (A, B)", 1.0),                  \
      VORNA_MODEL_PARAMETER(D1, "saturation of C and D", "saturation de C et D", 1.0),        \
      VORNA_MODEL_PARAMETER(D2, "rotation of (C, D) with the amplitude",                      \
                            "rotation de (C, D) avec l'amplitude", 1.0))                      \
    X(Maginu, "maginu", 2,                                                                    \
      VORNA_MODEL_PARAMETER(K, "decay of the inhibitor B", "déclin de l'inhibiteur B", 0.8),  \
      VORNA_MODEL_PARAMETER(C, "time scale of the activator A (divides its strength)",        \
                            "échelle de temps de l'activateur A (divise sa force)", 1.0))     \
    X(MaginuDer1, "magd1", 2,                                                                 \
      VORNA_MODEL_PARAMETER(K, "decay of the inhibitor B", "déclin de l'inhibiteur B", 0.8),  \
      VORNA_MODEL_PARAMETER(C, "time scale of the activator A (divides its strength)",        \
                            "échelle de temps de l'activateur A (divise sa force)", 1.0),     \
      VORNA_MODEL_PARAMETER(D, "weight of the sine of B in A's reaction",                     \
                            "poids du sinus de B dans la réaction de A", 0.5),                \
      VORNA_MODEL_PARAMETER(E, "weight of the sine of A in B's reaction",                     \
                            "poids du sinus de A dans la réaction de B", 0.3),                \
      VORNA_MODEL_PARAMETER(P, "frequency of both sines", "fréquence des deux sinus", 2.0))   \
    X(Brusselator, "brusselator", 2,                                                          \
      VORNA_MODEL_PARAMETER(Alpha, "feed of A, its steady value",                             \
                            "apport de A, sa valeur d'équilibre", 3.0),                       \
      VORNA_MODEL_PARAMETER(Beta, "conversion of A into B", "conversion de A en B", 7.0))     \
    X(BrusselatorDer1, "brd1", 2,                                                             \
      VORNA_MODEL_PARAMETER(Alpha, "feed of A, its steady value",                             \
                            "apport de A, sa valeur d'équilibre", 3.0),                       \
      VORNA_MODEL_PARAMETER(Beta, "conversion of A into B", "conversion de A en B", 7.0),     \
      VORNA_MODEL_PARAMETER(Gamma, "damping of large values of A",                            \
                            "amortissement des grandes valeurs de A", 0.002))                 \
    X(Formula, "formula", 4)

enum class ReactionParameter : int {
#define VORNA_PARAMETER_ID(Field, name) Field,
    VORNA_REACTION_PARAMETERS(VORNA_PARAMETER_ID)
#undef VORNA_PARAMETER_ID
};

// Script names of the parameters, by ReactionParameter.
inline constexpr const char *ReactionParameterNames[] = {
#define VORNA_PARAMETER_NAME(Field, name) name,
    VORNA_REACTION_PARAMETERS(VORNA_PARAMETER_NAME)
#undef VORNA_PARAMETER_NAME
};

// Index of a model in ReactionModelTable.
enum class ReactionModelId : int {
#define VORNA_MODEL_ID(Id, ...) Id,
    VORNA_REACTION_MODELS(VORNA_MODEL_ID)
#undef VORNA_MODEL_ID
};

struct ModelParameter {
    ReactionParameter Field = ReactionParameter::Alpha;
    const char *Meaning = nullptr;  // null past the model's last parameter
    const char *MeaningFrench = nullptr;
    double Typical = 0.0;
};

constexpr int MaxModelParameters = 8;

struct ReactionModelInfo {
    const char *Name;  // as scripts write it, compared without regard to case
    int Components;    // components the model reads and writes: A, B, ...
    ModelParameter Parameters[MaxModelParameters];

    constexpr int ParameterCount() const {
        int n = 0;
        while (n < MaxModelParameters && Parameters[n].Meaning != nullptr) ++n;
        return n;
    }
};

#define VORNA_MODEL_PARAMETER(Field, meaning, meaningFrench, typical) \
    ModelParameter { ReactionParameter::Field, meaning, meaningFrench, typical }
inline constexpr ReactionModelInfo ReactionModelTable[] = {
#define VORNA_MODEL_ENTRY(Id, name, components, ...) {name, components, {__VA_ARGS__}},
    VORNA_REACTION_MODELS(VORNA_MODEL_ENTRY)
#undef VORNA_MODEL_ENTRY
};
#undef VORNA_MODEL_PARAMETER

inline constexpr int ReactionModelCount =
    int(sizeof ReactionModelTable / sizeof ReactionModelTable[0]);

// Whether a model has a reaction pass; plain diffusion has none.
constexpr bool ModelReacts(ReactionModelId model) { return model != ReactionModelId::Void; }

// Whether the script, not the table, sets the model's components and parameters.
constexpr bool ModelIsFormula(ReactionModelId model) { return model == ReactionModelId::Formula; }

constexpr int ModelComponents(ReactionModelId model) {
    return ReactionModelTable[int(model)].Components;
}

// Index of the model named name (case-insensitive); -1 for null or an unknown name.
int FindReactionModel(const char *name);
