// ReaDifSimulation: the whole state of one reaction-diffusion texture computation; owns the
// component fields, their coefficients, the model's named parameters, the colour maps and pictures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "image3d/ColorMapRGBA8.h"
#include "image3d/GenImage3D.h"
#include "image3d/Image3D24.h"
#include "image3d/Image3D8.h"
#include "image3d/Image3DFloat.h"
#include "image3d/PictureRule.h"
#include "rdsimul/FormulaProgram.h"
#include "rdsimul/ImageWriter.h"
#include "rdsimul/PictureMap.h"
#include "rdsimul/ReactionModels.h"
#include "rdsimul/ScheduledChange.h"
#include "rdsimul/ScriptParser.h"
#include "rdsimul/kernels/KernelSet.h"
#include "toolkit/ProcString.h"
#include "toolkit/Timer.h"

class ReaDifSimulation {
public:
    // What the setters and steps answer.
    enum class Result { Refused = 0, Done = 1 };
    static constexpr Result Refused = Result::Refused;
    static constexpr Result Done = Result::Done;
    // What RunSimulation answers.
    enum class RunResult { Refused = 0, Ran = 1, Complete = 3 };
    // What ResetDefaultParameters answers.
    enum class ResetResult { Done = 1, ConstructionFailed = 3 };
    // What VaryReactionParameters answers.
    enum class VaryResult { Done = 1, NothingToDo = 4 };

    // ErrorStatus values.
    static constexpr int StatusUsable = 0;
    static constexpr int StatusAllocationFailed = 1;  // permanent
    static constexpr int StatusOverflow = 2;          // the run loop found a NaN

    static constexpr int MaxSlots = 26;                // one capital letter per slot
    static constexpr int ComponentSlots = 4;           // the slots the programs give: A to D
    static constexpr int ParameterPairs = 962;         // 26 one-letter + 26 x 36 two-letter keys
    static constexpr int32_t MaxEndTime = 10000000;    // iterations
    static constexpr uint32_t MaxRunPixels = 361972;   // SizeX x SizeY of component A
    static constexpr int32_t OverflowTestPeriod = 15;  // iterations between NaN tests
    static constexpr double SpeedMeasurePeriod = 6.0;  // seconds between speed measurements
    static constexpr int ColorCount8 = 256;            // entries of each ColorMaps8 map
    static constexpr int ColorCount24 = 25303;         // entries of each ColorMaps24 map
    static constexpr int FileNameSize = 300;           // FileBaseName capacity, ImageFileName size
    static constexpr double NotSetConcentration = -10000.0;

    using ReactionStepFunction = Result (ReaDifSimulation::*)();

    // slots: number of component slots; below 1 counts as 1. More than MaxSlots (they could not
    // be named by letters) leaves the object in ErrorStatus 1 with nothing built.
    explicit ReaDifSimulation(int slots);
    ~ReaDifSimulation();
    ReaDifSimulation(const ReaDifSimulation &) = delete;
    ReaDifSimulation &operator=(const ReaDifSimulation &) = delete;

    // ---- Components, model and parameters ----------------------------------------------------
    // letter - 'A' for a capital letter naming a component in use, else -1.
    int GetComponentIndex(char letter) const;
    // Refused (nothing changed) for a count below 0 or above MaxComponentCount or a broken
    // object; newly used slots are resized to component A's size. Done.
    [[nodiscard]] Result SetComponentCount(int count);
    // Case-insensitive model name: Done with ComponentCount, ReactionStep and ModelIndex set;
    // Refused for an unknown name or a model needing more components than there are slots (then
    // no model is chosen).
    [[nodiscard]] Result SetReactionModel(const char *name);
    // The largest domain (SizeX x SizeY of A) RunSimulation accepts: MaxRunPixels unless a
    // command-line run raises it for itself; not reset with the parameters.
    void SetRunPixelLimit(uint32_t pixels) { RunPixelLimit = pixels; }
    uint32_t GetRunPixelLimit() const { return RunPixelLimit; }
    // 0 .. MaxEndTime iterations: Done; else (negative values included) Refused.
    [[nodiscard]] Result SetEndTime(int32_t iterations);
    // Resizes every field in use, A first: Done; Refused and ErrorStatus StatusAllocationFailed
    // at the first failure.
    [[nodiscard]] Result SetDomainSize(uint16_t x, uint16_t y, uint16_t z);
    // Per-component setters: Refused when the letter names no component in use, else Done.
    [[nodiscard]] Result SetInitConcentration(char letter, double mean, double noise);
    [[nodiscard]] Result SetDiffusionCoeff(char letter, double coefficient, double variation);
    [[nodiscard]] Result SetReactionStrength(char letter, double strength);
    // Named parameter (first character a letter, second a letter or digit, either case folded
    // to small): Done; Refused for a null or invalid name.
    [[nodiscard]] Result SetReactionParameter(const char *name, double value, double variation);
    // Pair index of a parameter name; -1 when invalid. fold: capital letters count as small.
    // Names with the same index are one parameter: only the first two characters count.
    static int ParameterKey(const char *name, bool fold);
    // Value under the name's key without case folding; 0.0 for an invalid name.
    double GetReactionParameter(const char *name) const;
    // Reads the picture at path as the map name, which the formula program has declared
    // (FormulaProgram::DeclareMap) and which has no picture yet: Done; Refused with error an
    // errno cause of the picture (PictureMap::Load), or 0 for a name not declared or given twice.
    [[nodiscard]] Result SetMapPicture(const char *name, const char *path, int &error);
    // Component letter starts from the picture at path instead of noise: low + (high - low) x
    // value, in double and rounded to float, the picture stretched over the field; the
    // component draws no random numbers. Sets the initial concentration to low (the component
    // has its starting state). Done; Refused for a letter not in use, one whose start is set
    // already (error 0), or the picture's cause in error.
    [[nodiscard]] Result SetInitPicture(char letter, const char *path, double low, double high,
                                        int &error);
    // The picture component index starts from, or null when it starts from noise.
    const PictureMap *GetInitPicture(int index) const;
    // Per-component getters: 0.0 for a letter not in use.
    double GetDiffusionCoeff(char letter) const;
    double GetReactionStrength(char letter) const;
    double GetInitConcentration(char letter) const;
    // Defaults of every setting (fields, colour maps, pictures and counters kept): Done;
    // ConstructionFailed when ErrorStatus is StatusAllocationFailed.
    [[nodiscard]] ResetResult ResetDefaultParameters();

    // ---- One iteration (Done; Refused: ErrorStatus not usable or too few components) --------
    // ReactionStep_<Id> for every model of ReactionModels.h (ReactionStep_Schlogl, ...);
    // ReactionStep_Void, plain diffusion, does nothing and never refuses.
#define VORNA_STEP_DECLARATION(Id, ...) [[nodiscard]] Result ReactionStep_##Id();
    VORNA_REACTION_MODELS(VORNA_STEP_DECLARATION)
#undef VORNA_STEP_DECLARATION
    // DiffusionSubSteps passes of border copy and nine-point filter over every field in use.
    [[nodiscard]] Result DiffusionStep();
    // The kernels the steps call: the fast set (FastKernels) unless changed; tests select the
    // reference set (ReferenceKernels) to compare with. Takes effect at once.
    void SetKernelSet(const KernelSet &set) { Kernels = &set; }
    const KernelSet &GetKernelSet() const { return *Kernels; }

    // ---- Run loop and output images ---------------------------------------------------------
    // Clears the counters and fills every field in use with its initial noise, A first: the
    // result of the last field's InitRandomNoise; Refused when no component is in use.
    [[nodiscard]] GenImage3D::Result Initialize();
    // Adds every named parameter's variation to its value: Done; NothingToDo when
    // VaryParameters is 0.
    VaryResult VaryReactionParameters();
    // Runs count more iterations (0: all that remain), never beyond EndTime: Ran (ErrorStatus
    // StatusOverflow when stopped by a NaN); Complete when the run was already complete;
    // Refused (broken object, no model, domain over the run pixel limit, negative count) or a
    // step failed.
    [[nodiscard]] RunResult RunSimulation(int32_t count);
    // Saves the field of letter (0: ImageComponent) at CurrentTime as
    // "<FileBaseName>_<letter><iteration, 6 digits or more>.bmp" (".tga" for format 'T', ".png"
    // for 'P'), through the installed ImageWriter if there is one: Refused when the letter is
    // not in use, the name too long, or the format 'P' without a writer (cause ENOTSUP); else
    // the writer's answer (Done or Refused) or the file saver's. A failure leaves its cause in
    // LastImageErrno and the name in FailedImageName.
    [[nodiscard]] GenImage3D::Result SaveImage2D(char letter);
    // The name SaveImage2D gives the image of letter (0: ImageComponent) at iteration time:
    // "<FileBaseName>_<letter><time, 6 digits or more>" with the extension of ImageFormat. Done;
    // Refused when path is null or the name does not fit into size bytes (path then holds it
    // cut).
    [[nodiscard]] Result ImagePathAt(char letter, int64_t time, char *path, size_t size) const;
    // The same rule for another name prefix and format ('B', 'T', 'P'): the images of other
    // rounds, which carry their seed in the prefix.
    [[nodiscard]] static Result ImagePath(const char *base, char letter, int64_t time, char format,
                                          char *path, size_t size);
    // The writer SaveImage2D hands its images to (not owned; null: the core's BMP and TGA
    // savers, and no PNG).
    void SetImageWriter(ImageWriter *writer) { Writer = writer; }
    ImageWriter *GetImageWriter() const { return Writer; }
    // Waits until the installed writer has written every image handed over (a writer in the
    // background tells its failures through NoteImageFailure).
    void FinishImages() {
        if (Writer != nullptr) Writer->Finish();
    }
    // An image that could not be written after all (by a writer in the background): counted as
    // the run loop counts its failures, its cause and name kept, the failure hook called.
    void NoteImageFailure(const char *path, int error);
    // Called by the run loop for every image it could not write, with the name and the errno
    // (0 when the cause was no system error); nothing is called when hook is null.
    using ImageFailureHook = void (*)(void *context, const char *path, int error);
    void SetImageFailureHook(ImageFailureHook hook, void *context);
    // What the field of an image held when the image fell due: the autoscale stretches Min ..
    // Max over the colours.
    struct ImageRange {
        const char *Path = "";  // the image's name (empty when it could not be formed)
        int32_t Time = 0;       // the iteration
        char Letter = 'A';      // the component shown
        double Min = 0.0;
        double Max = 0.0;
    };
    // Called by the run loop for every image due, before it is written (or, when WriteImages is
    // false, instead); nothing is called when hook is null.
    using ImageRangeHook = void (*)(void *context, const ImageRange &range);
    void SetImageRangeHook(ImageRangeHook hook, void *context);
    // Called by the run loop with every frame of a movie, the picture the image would get (its
    // Path empty), after the iteration and before the changes due then: at every image the
    // script's image line asks for (also those KeepFinalImageOnly dropped), or with a period
    // above 0 every period iterations and at EndTime; never while WriteImages is false. Nothing
    // is called when hook is null.
    using FrameHook = void (*)(void *context, const ImageJob &frame, int32_t time);
    void SetFrameHook(FrameHook hook, void *context, int32_t period);
    // Hands the picture of ImageComponent at CurrentTime to the frame hook (a movie's first
    // frame, the starting field): Done; Refused when no hook is set or there is no picture.
    [[nodiscard]] Result EmitFrame();
    // Whether a field of range min .. max is flat: its spread at most UniformSpread of its
    // largest magnitude (of 1 when that is smaller), where an autoscaled picture shows only
    // rounding noise and the decay of the starting noise. NaN bounds are not uniform.
    static constexpr double UniformSpread = 1e-3;
    static bool IsUniformRange(double min, double max);
    // How the images and the preview show a field: ImageScale and ImageOffset (automatic when
    // ImageScale is 0) into the script's colour maps, ColorMaps8[0] and ColorMaps24[0].
    PictureRule GetPictureRule() const;
    // Disk space of all images of a whole run, in MB (2^20 bytes) rounded up: the size of each
    // file as the savers write it (headers, palette, padding; the tile picture for a mosaic;
    // PNG: GenImage3D::PNGFileBytes, or what the installed writer says) times ImageCount. At
    // most INT32_MAX.
    int32_t EvalSaveImageDiskSpace() const;
    // Whether the run saves an image once CurrentTime has reached time (1 .. EndTime): at
    // ImageStart and every ImagePeriod iterations after it, and at EndTime when EndTime is not
    // a multiple of ImagePeriod. No image at all when ImagePeriod is 0 or less.
    bool ImageDue(int64_t time) const;
    // Keeps of the image schedule the script set only the image at EndTime, the run's final
    // one; a schedule without images stays without. A movie's frames keep the script's schedule.
    void KeepFinalImageOnly();
    // Images a whole run saves: the iterations 1 .. EndTime at which ImageDue holds, counted
    // without walking them.
    int64_t ImageCount() const;
    // ---- Recorded changes (the script's `at` lines) --------------------------------------------
    // Adds a change to the run's schedule, after those of the same time: Done; Refused for a
    // negative time, a component not in use, an invalid parameter key, a paint without centres
    // or a radius below 0.5. The schedule is emptied by ResetDefaultParameters. The run loop
    // applies a change of time N once iteration N is done and its image written, so that the
    // image shows the field before it; a change of time 0 applies in Initialize, after the
    // initial noise.
    [[nodiscard]] Result ScheduleChange(const ScheduledChange &change);
    const std::vector<ScheduledChange> &GetSchedule() const { return Schedule; }
    // The brush strokes of the schedule, recorded on a fromX x fromY field, moved onto a toX x
    // toY one: a centre X becomes floor((X + 0.5) toX / fromX), Y likewise, and a radius is
    // scaled by the geometric mean of the two ratios (the discs stay discs). Sides of 0 change
    // nothing.
    void RescaleSchedule(int32_t fromX, int32_t fromY, int32_t toX, int32_t toY);
    // Makes the change now, whatever its time: Done; Refused as ScheduleChange refuses. A paint
    // changes every point within Radius of a centre (dx and dy taken around the torus, compared
    // in double) once, however many discs hold it; PaintAdd adds in double and rounds once.
    [[nodiscard]] Result ApplyChange(const ScheduledChange &change);
    // Picks the schedule up at CurrentTime for a run whose fields and settings were put back by
    // hand as they stood after iteration CurrentTime and before its changes: those of earlier
    // times count as made, those of CurrentTime are made now, the later ones stay due.
    void ResumeSchedule();

    // Iterations per RunSimulation call that keep one call at about 200,000 component-point
    // updates for components fields of points points each (0 counts as 1); above 5 a multiple
    // of 5.
    static int32_t SliceSize(int components, uint32_t points);

    // ---- Implemented with the script parser and the preview (separate .cpp files) -----------
    // Parses and rewrites a parameter script: Accepted; Rejected for errors or missing items
    // (file annotated, errorPosition set); FileError when the file could not be used. randomize
    // non-zero: ignore the script's seed.
    [[nodiscard]] ScriptParser::Result SetParametersFromFile(const char *path,
                                                             int32_t &errorPosition,
                                                             int32_t randomize);
    // The parser of SetParametersFromFile, with the notes and warnings of its last parse.
    static const ScriptParser &LastFileParse();
    // annotation = the annotation prefix + text + line feed: Done.
    [[nodiscard]] Result BuildErrorMessage(ProcString &text, ProcString &annotation);
    [[nodiscard]] Result BuildErrorMessage(const char *text, ProcString &annotation);
    // Builds the colour map described by line into ColorMaps8[0] and ColorMaps24[0]: Done; on a
    // faulty colour-map text Refused with the message in error.
    [[nodiscard]] Result SetColorMapFromString(ProcString &line, ProcString &error);
    // The preview picture of ImageComponent (A when not in use): PreviewImage24 when trueColor
    // is non-zero, else PreviewImage8; showColorMap 1 draws the colour-map strip.
    GenImage3D *GetPreviewImage(int32_t showColorMap, int32_t trueColor);
    // A picture of the colour map alone, width x height with a 15-pixel margin.
    GenImage3D *GetPreviewColorMap(uint16_t width, uint16_t height, int32_t trueColor);

    // ---- State, in declared order; public so that the parser, the preview and the front end
    // read and set it directly (the setters above carry the checks) ---------------------------
    int ComponentCount = 0;                     // components in use; 0 means no model
    int MaxComponentCount = 1;                  // component slots, fixed at construction
    Image3DFloat **Components = nullptr;        // one field per slot, named "component <letter>"
    double *DiffusionCoeff = nullptr;           // per slot; 0 means not set
    double *DiffusionCoeffVariation = nullptr;  // added after every iteration
    double *ReactionStrength = nullptr;         // per slot; 0 means not set
    double *InitConcentration = nullptr;        // per slot; -10000.0 means not set
    double *InitNoise = nullptr;                // half-width of the initial uniform noise
    int DiffusionSubSteps = 1;                  // diffusion passes per DiffusionStep
    int ReactionSubSteps = 1;                   // reaction steps per iteration
    double ReactionParameters[ParameterPairs][2] = {};  // (value, variation) per key
    int VaryParameters = 0;  // 1 when some named parameter has a non-zero variation
    ReactionStepFunction ReactionStep = &ReaDifSimulation::ReactionStep_Void;
    int ModelIndex = 0;  // ReactionModelTable index of the chosen model; 0 (diffusion) when none
    // The reaction terms of the formula model, set by the script's formula lines: the formula
    // steps refuse unless it has a term for every component in use.
    FormulaProgram Formula;
    // The pictures of the script's map and initmap lines, in the order read (the formula
    // program's maps point into them), and per slot the starting picture's index in Pictures
    // (-1: noise) with its values for black and white.
    std::vector<PictureMap> Pictures;
    struct StartPicture {
        int Picture = -1;
        double Low = 0.0;
        double High = 0.0;
    };
    StartPicture StartPictures[MaxSlots];
    int32_t CurrentTime = 0;           // iterations done in this run
    int32_t EndTime = 0;               // iterations of the whole run
    int32_t PreviewTime = 0;           // CurrentTime of the last preview
    double CurrentSpeed = 0.0;         // M points (2^20) per second, last measurement
    double AverageSpeed = 0.0;         // M points per second over the finished run
    double IterationsPerSecond = 0.0;  // last measurement
    ProcString FileBaseName;           // script path without extension: image name prefix
    int ErrorStatus = StatusUsable;
    char ImageComponent = '?';  // component saved as images; '?' no image line
    char ImageFormat = 'B';     // 'B' BMP, 'T' TGA, 'P' PNG
    int32_t ImageStart = 0;     // first iteration with an image
    int32_t ImagePeriod = 0;    // iterations between images
    int TrueColor = 0;          // 1: 24-bit images; 0: 8-bit with palette
    int Mosaic = 0;             // 1: the field is tiled over the tile picture
    double ImageScale = 0.0;    // concentration to colour index; 0 scales automatically
    double ImageOffset = 0.0;
    char ImageFileName[FileNameSize] = {};  // the image file written last
    ColorMapRGBA8 **ColorMaps8 = nullptr;   // two maps of 256 entries; the first is the script's
    ColorMapRGBA8 **ColorMaps24 = nullptr;  // two maps of 25303 entries; the first is the script's
    Image3D8 PreviewImage8;
    Image3D24 PreviewImage24;
    Image3D8 TmpImage2D8;
    Image3D8 TmpTileImage2D8;
    Image3D24 TmpImage2D24;
    Image3D24 TmpTileImage2D24;
    Timer RunTimer;
    int32_t ImagesWritten = 0;  // image files the run loop saved since Initialize
    int32_t ImagesFailed = 0;   // image files the run loop could not write since Initialize
    int LastImageErrno = 0;     // errno of the last failed SaveImage2D; 0 not a system error
    // false: the run loop writes no image but still reports every due image's range (a pass
    // that measures the range of a whole run).
    bool WriteImages = true;
    char FailedImageName[FileNameSize] = {};  // the image SaveImage2D could not write last

private:
    // True when the per-slot arrays and the colour-map arrays exist (construction got that far).
    bool Built() const;
    // Pixel layout and first pixel of a slot's field; false when the field has no pixels.
    bool FieldOf(int index, FieldLayout &layout, float *&firstPixel) const;
    // The fields, layout and constants of a reaction pass over the first components fields;
    // false when the step must refuse (ErrorStatus, too few components, fields unlike A's).
    // The constants carry the formula program and its parameters' values.
    bool GatherReaction(int components, float **fields, FieldLayout &layout,
                        ReactionConstants &k) const;
    // The common frame of the reaction steps: refusals, constants, the kernel set's kernel of the
    // model over the fields. Plain diffusion does nothing and never refuses.
    [[nodiscard]] Result RunReactionModel(ReactionModelId model);
    // The components a model's reaction pass works on: its table's count, or for the formula
    // model its program's (more than any simulation has when that does not match the script).
    int ReactingComponents(ReactionModelId model) const;
    // The step of a model of ReactionModelTable.
    static ReactionStepFunction StepOfModel(int model);
    // count iterations (reaction, then diffusion) through the kernel set's fused kernel: Done,
    // or NotFused, with nothing done, when the set has none or the state needs the separate
    // steps (sub-steps, a refusal, a component count the fused kernel does not cover, or a
    // ReactionStep installed by hand that is not the chosen model's).
    enum class FuseResult { NotFused = -1, Done = 1 };
    static constexpr FuseResult NotFused = FuseResult::NotFused;
    // nanTest: as the iteration kernel's (null: no NaN test asked).
    [[nodiscard]] FuseResult FusedIteration(int32_t count, int *nanTest = nullptr);
    // Iterations from CurrentTime on, at most up to target, that can run back to back as one
    // batch: every one but the last changes nothing the steps read (no parameter drift, the
    // diffusion coefficients fixed and inside the clamp) and is followed by no NaN test and no
    // image. At least 1.
    int32_t QuietIterations(int64_t target) const;
    // The two halves of ImageDue: the periodic images, and the final one at EndTime.
    bool PeriodicImageDue(int64_t time) const;
    bool FinalImageDue(int64_t time) const;
    // The range of the image due now, to the range hook.
    void ReportImageRange();
    // Whether the frame hook is called once CurrentTime has reached time.
    bool FrameDue(int64_t time) const;
    // The picture of field through rule as the images get it (the tile picture for a mosaic,
    // an 8-bit one carrying the script's colour map), in TmpImage2D8/24 or their tile pictures.
    GenImage3D *MakePicture(const Image3DFloat &field, const PictureRule &rule);
    // Whether a scheduled change falls due once CurrentTime has reached time.
    bool ChangeDue(int64_t time) const;
    // Applies the scheduled changes due at CurrentTime, in their order.
    void ApplyDueChanges();
    // Whether change can be made to this simulation (ScheduleChange's checks).
    bool ChangeValid(const ScheduledChange &change) const;
    void Paint(const ScheduledChange &change);

    const KernelSet *Kernels;
    int32_t LastCurSpeedMeasure = 0;  // CurrentTime at the last speed measurement
    ImageFailureHook FailureHook = nullptr;
    void *FailureContext = nullptr;
    ImageRangeHook RangeHook = nullptr;
    void *RangeContext = nullptr;
    FrameHook FrameHookFn = nullptr;
    void *FrameContext = nullptr;
    int32_t FramePeriod = 0;  // 0: a frame with every image
    // The script's image schedule once KeepFinalImageOnly has dropped all but the final image:
    // the frames still follow it (FrameImagePeriod 0: not dropped).
    int32_t FrameStart = 0;
    int32_t FrameImagePeriod = 0;
    std::vector<ScheduledChange> Schedule;  // in time order, file order within a time
    size_t NextChange = 0;                  // the first change not yet applied in this run
    ImageWriter *Writer = nullptr;
    uint32_t RunPixelLimit = MaxRunPixels;
};

// The one simulation of the program, with 4 component slots.
extern ReaDifSimulation MainRDSim;
