#include "rdsimul/ReaDifSimulation.h"

#include <cstdio>
#include <new>
#include <utility>

#include "rdsimul/kernels/FastKernels.h"

ReaDifSimulation MainRDSim(ReaDifSimulation::ComponentSlots);

namespace {

constexpr bool EveryModelFitsTheSlots() {
    for (const ReactionModelInfo &model : ReactionModelTable) {
        if (model.Components > ReaDifSimulation::ComponentSlots) return false;
    }
    return true;
}
static_assert(EveryModelFitsTheSlots(), "a model uses more components than the programs give");

char FoldToSmall(char c) { return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c; }

}  // namespace

ReaDifSimulation::ReaDifSimulation(int slots)
    : FileBaseName(FileNameSize),
      PreviewImage8("PreviewImage8", 0, 0, 1, 0),
      PreviewImage24("PreviewImage24", 0, 0, 1, 0),
      TmpImage2D8("TmpImage2D8", 0, 0, 1, 0),
      TmpTileImage2D8("TmpTileImage2D8", 0, 0, 1, 0),
      TmpImage2D24("TmpImage2D24", 0, 0, 1, 0),
      TmpTileImage2D24("TmpImage2D24", 0, 0, 1, 0),
      Kernels(&FastKernels()) {
    ErrorStatus = StatusUsable;
    MaxComponentCount = slots < 1 ? 1 : slots;
    CurrentTime = 0;
    CurrentSpeed = AverageSpeed = IterationsPerSecond = 0.0;
    if (MaxComponentCount > MaxSlots) {
        // Slots beyond 'Z' could never be named; refuse instead of allocating for them.
        ErrorStatus = StatusAllocationFailed;
        return;
    }

    const int n = MaxComponentCount;
    Components = new (std::nothrow) Image3DFloat *[n]();
    DiffusionCoeff = new (std::nothrow) double[n]();
    DiffusionCoeffVariation = new (std::nothrow) double[n]();
    ReactionStrength = new (std::nothrow) double[n]();
    InitConcentration = new (std::nothrow) double[n]();
    InitNoise = new (std::nothrow) double[n]();
    ColorMaps8 = new (std::nothrow) ColorMapRGBA8 *[2]();
    ColorMaps24 = new (std::nothrow) ColorMapRGBA8 *[2]();
    if (!Built()) {
        ErrorStatus = StatusAllocationFailed;
        return;
    }

    for (int i = 0; i < n; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "component %c", char('A' + i));
        // The border of 1 holds the periodic copy that the diffusion filter reads.
        Components[i] = new (std::nothrow) Image3DFloat(name, 0, 0, 1, 1);
        if (Components[i] == nullptr || Components[i]->HasAllocationError()) {
            ErrorStatus = StatusAllocationFailed;
        }
    }
    for (int i = 0; i < 2; ++i) {
        ColorMaps8[i] = new (std::nothrow) ColorMapRGBA8(ColorCount8);
        ColorMaps24[i] = new (std::nothrow) ColorMapRGBA8(ColorCount24);
        if (ColorMaps8[i] == nullptr || ColorMaps24[i] == nullptr) {
            ErrorStatus = StatusAllocationFailed;
        }
    }
    // Cannot fail here: the object was just built.
    (void)ResetDefaultParameters();
}

ReaDifSimulation::~ReaDifSimulation() {
    if (Components != nullptr) {
        for (int i = 0; i < MaxComponentCount; ++i) delete Components[i];
    }
    for (int i = 0; i < 2; ++i) {
        if (ColorMaps8 != nullptr) delete ColorMaps8[i];
        if (ColorMaps24 != nullptr) delete ColorMaps24[i];
    }
    delete[] Components;
    delete[] DiffusionCoeff;
    delete[] DiffusionCoeffVariation;
    delete[] ReactionStrength;
    delete[] InitConcentration;
    delete[] InitNoise;
    delete[] ColorMaps8;
    delete[] ColorMaps24;
}

bool ReaDifSimulation::Built() const {
    return Components != nullptr && DiffusionCoeff != nullptr &&
           DiffusionCoeffVariation != nullptr && ReactionStrength != nullptr &&
           InitConcentration != nullptr && InitNoise != nullptr && ColorMaps8 != nullptr &&
           ColorMaps24 != nullptr;
}

int ReaDifSimulation::GetComponentIndex(char letter) const {
    const int index = letter - 'A';
    if (!Built() || index < 0 || index >= ComponentCount || index >= MaxComponentCount) return -1;
    return index;
}

ReaDifSimulation::Result ReaDifSimulation::SetComponentCount(int count) {
    if (!Built() || count < 0 || count > MaxComponentCount) return Refused;
    Image3DFloat *first = Components[0];
    for (int i = ComponentCount; i < count; ++i) {
        if (Components[i] == nullptr || first == nullptr) continue;
        // A failed resize shows as a field without pixels, which the steps refuse.
        (void)Components[i]->SetNewSize(first->GetSizeX(), first->GetSizeY(), first->GetSizeZ());
    }
    ComponentCount = count;
    return Done;
}

ReaDifSimulation::Result ReaDifSimulation::SetReactionModel(const char *name) {
    const int model = FindReactionModel(name);
    if (model >= 0 && SetComponentCount(ReactionModelTable[model].Components) == Done) {
        ReactionStep = StepOfModel(model);
        ModelIndex = model;
        return Done;
    }
    ComponentCount = 0;
    ReactionStep = &ReaDifSimulation::ReactionStep_Void;
    ModelIndex = 0;
    return Refused;
}

ReaDifSimulation::Result ReaDifSimulation::SetEndTime(int32_t iterations) {
    if (uint32_t(iterations) > uint32_t(MaxEndTime)) return Refused;
    EndTime = iterations;
    return Done;
}

ReaDifSimulation::Result ReaDifSimulation::SetDomainSize(uint16_t x, uint16_t y, uint16_t z) {
    for (int i = 0; i < ComponentCount && Built(); ++i) {
        if (Components[i] == nullptr ||
            Components[i]->SetNewSize(x, y, z) == Frame3D::SizeResult::Failed) {
            ErrorStatus = StatusAllocationFailed;
            return Refused;
        }
    }
    return Done;
}

ReaDifSimulation::Result ReaDifSimulation::SetInitConcentration(char letter, double mean,
                                                                double noise) {
    const int i = GetComponentIndex(letter);
    if (i < 0) return Refused;
    InitConcentration[i] = mean;
    InitNoise[i] = noise;
    StartPictures[i] = StartPicture();
    return Done;
}

ReaDifSimulation::Result ReaDifSimulation::SetMapPicture(const char *name, const char *path,
                                                         int &error) {
    error = 0;
    const int map = name != nullptr ? Formula.MapIndex(name) : -1;
    if (map < 0 || Formula.MapBound(map)) return Refused;
    PictureMap picture;
    if (picture.Load(path, error) != PictureMap::Done) return Refused;
    Pictures.push_back(std::move(picture));
    // The values stay where they are when Pictures grows: a vector moves its store whole.
    Formula.BindMap(map, Pictures.back().Values(), Pictures.back().Width(),
                    Pictures.back().Height());
    return Done;
}

ReaDifSimulation::Result ReaDifSimulation::SetInitPicture(char letter, const char *path, double low,
                                                          double high, int &error) {
    error = 0;
    const int i = GetComponentIndex(letter);
    if (i < 0 || StartPictures[i].Picture >= 0) return Refused;
    PictureMap picture;
    if (picture.Load(path, error) != PictureMap::Done) return Refused;
    Pictures.push_back(std::move(picture));
    InitConcentration[i] = low;
    InitNoise[i] = 0.0;
    StartPictures[i] = {int(Pictures.size()) - 1, low, high};
    return Done;
}

const PictureMap *ReaDifSimulation::GetInitPicture(int index) const {
    if (index < 0 || index >= MaxSlots || StartPictures[index].Picture < 0) return nullptr;
    return &Pictures[size_t(StartPictures[index].Picture)];
}

ReaDifSimulation::Result ReaDifSimulation::SetDiffusionCoeff(char letter, double coefficient,
                                                             double variation) {
    const int i = GetComponentIndex(letter);
    if (i < 0) return Refused;
    DiffusionCoeff[i] = coefficient;
    DiffusionCoeffVariation[i] = variation;
    return Done;
}

ReaDifSimulation::Result ReaDifSimulation::SetReactionStrength(char letter, double strength) {
    const int i = GetComponentIndex(letter);
    if (i < 0) return Refused;
    ReactionStrength[i] = strength;
    return Done;
}

int ReaDifSimulation::ParameterKey(const char *name, bool fold) {
    if (name == nullptr) return -1;
    const char first = fold ? FoldToSmall(name[0]) : name[0];
    if (first < 'a' || first > 'z') return -1;
    const int f = first - 'a';
    if (name[1] == '\0') return f;
    // Only the first two characters count: "alpha" and "alfa" are one parameter.
    const char second = fold ? FoldToSmall(name[1]) : name[1];
    if (second >= 'a' && second <= 'z') return 26 + 36 * f + (second - 'a');
    if (second >= '0' && second <= '9') return 26 + 36 * f + 26 + (second - '0');
    return -1;
}

ReaDifSimulation::Result ReaDifSimulation::SetReactionParameter(const char *name, double value,
                                                                double variation) {
    const int key = ParameterKey(name, true);
    if (key < 0) return Refused;
    ReactionParameters[key][0] = value;
    ReactionParameters[key][1] = variation;
    return Done;
}

double ReaDifSimulation::GetReactionParameter(const char *name) const {
    const int key = ParameterKey(name, false);
    return key < 0 ? 0.0 : ReactionParameters[key][0];
}

double ReaDifSimulation::GetDiffusionCoeff(char letter) const {
    const int i = GetComponentIndex(letter);
    return i < 0 ? 0.0 : DiffusionCoeff[i];
}

double ReaDifSimulation::GetReactionStrength(char letter) const {
    const int i = GetComponentIndex(letter);
    return i < 0 ? 0.0 : ReactionStrength[i];
}

double ReaDifSimulation::GetInitConcentration(char letter) const {
    const int i = GetComponentIndex(letter);
    return i < 0 ? 0.0 : InitConcentration[i];
}

ReaDifSimulation::ResetResult ReaDifSimulation::ResetDefaultParameters() {
    if (ErrorStatus == StatusAllocationFailed || !Built()) return ResetResult::ConstructionFailed;
    ComponentCount = 0;
    EndTime = 0;
    Schedule.clear();
    NextChange = 0;
    DiffusionSubSteps = 1;
    ReactionSubSteps = 1;
    ReactionStep = &ReaDifSimulation::ReactionStep_Void;
    ModelIndex = 0;
    ImageComponent = '?';
    ImageFormat = 'B';
    ImageStart = 0;
    ImagePeriod = 0;
    FrameStart = 0;
    FrameImagePeriod = 0;
    TrueColor = 0;
    Mosaic = 0;
    ImageScale = 0.0;
    ImageOffset = 0.0;
    for (int i = 0; i < MaxComponentCount; ++i) {
        DiffusionCoeff[i] = 0.0;
        DiffusionCoeffVariation[i] = 0.0;
        ReactionStrength[i] = 0.0;
        InitNoise[i] = 0.0;
        InitConcentration[i] = NotSetConcentration;
    }
    for (auto &pair : ReactionParameters) pair[0] = pair[1] = 0.0;
    VaryParameters = 0;
    Formula.Clear();
    Pictures.clear();
    for (StartPicture &start : StartPictures) start = StartPicture();
    return ResetResult::Done;
}
