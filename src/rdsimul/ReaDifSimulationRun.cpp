// The run loop of ReaDifSimulation: start of a run, iterations in slices with parameter drift,
// overflow watch and speed figures.
#include <algorithm>
#include <cmath>

#include "rdsimul/ReaDifSimulation.h"

namespace {

// 2^20 points per M, and the hundredths the speeds are rounded to.
constexpr double PointsPerMTimesHundredth = 10485.76;
// Component-point updates per slice: short enough for the caller to stay responsive.
constexpr double SliceUpdates = 200000.0;

// Every plane of field from picture, stretched over it: low + (high - low) x value, rounded to
// float once.
GenImage3D::Result InitFromPicture(Image3DFloat &field, const PictureMap &picture, double low,
                                   double high) {
    float *first = field.GetPtrFirstPixel();
    const int32_t sizeX = field.GetSizeX(), sizeY = field.GetSizeY();
    if (first == nullptr || sizeX == 0 || sizeY == 0) return GenImage3D::Refused;
    for (int32_t z = 0; z < field.GetSizeZ(); ++z) {
        for (int32_t y = 0; y < sizeY; ++y) {
            float *line = first + ptrdiff_t(z) * field.GetPlaneOffset() +
                          ptrdiff_t(y) * field.GetLineOffset();
            for (int32_t x = 0; x < sizeX; ++x) {
                line[x] = float(low + (high - low) * picture.ValueAt(x, y, sizeX, sizeY));
            }
        }
    }
    return GenImage3D::Done;
}

}  // namespace

GenImage3D::Result ReaDifSimulation::Initialize() {
    CurrentTime = 0;
    ImagesWritten = 0;
    ImagesFailed = 0;
    PreviewTime = 0;
    CurrentSpeed = 0.0;
    AverageSpeed = 0.0;
    GenImage3D::Result result = GenImage3D::Refused;
    // All of A first, then B, ...: the seed fixes the whole initial state.
    for (int i = 0; i < ComponentCount && Built(); ++i) {
        if (Components[i] == nullptr) continue;
        if (const PictureMap *picture = GetInitPicture(i)) {
            // From its picture: no random numbers, so the other components' noise is the same
            // as without it.
            result = InitFromPicture(*Components[i], *picture, StartPictures[i].Low,
                                     StartPictures[i].High);
            continue;
        }
        result = Components[i]->InitRandomNoise(float(InitConcentration[i]), float(InitNoise[i]));
    }
    // The changes recorded at iteration 0 act on the initial noise.
    NextChange = 0;
    ApplyDueChanges();
    return result;
}

void ReaDifSimulation::SetImageFailureHook(ImageFailureHook hook, void *context) {
    FailureHook = hook;
    FailureContext = context;
}

void ReaDifSimulation::SetImageRangeHook(ImageRangeHook hook, void *context) {
    RangeHook = hook;
    RangeContext = context;
}

void ReaDifSimulation::SetFrameHook(FrameHook hook, void *context, int32_t period) {
    FrameHookFn = hook;
    FrameContext = context;
    FramePeriod = period > 0 ? period : 0;
}

bool ReaDifSimulation::FrameDue(int64_t time) const {
    if (FrameHookFn == nullptr || !WriteImages) return false;
    if (FramePeriod == 0) {
        return ImageDue(time) || (FrameImagePeriod > 0 && time >= FrameStart &&
                                  (time - FrameStart) % FrameImagePeriod == 0);
    }
    return time % FramePeriod == 0 || time == EndTime;
}

bool ReaDifSimulation::IsUniformRange(double min, double max) {
    const double magnitude = std::max({std::fabs(min), std::fabs(max), 1.0});
    return max - min <= UniformSpread * magnitude;
}

void ReaDifSimulation::ReportImageRange() {
    if (RangeHook == nullptr) return;
    const int index = GetComponentIndex(ImageComponent);
    if (index < 0 || Components[index] == nullptr) return;
    ImageRange range;
    if (Components[index]->FindMinMax(range.Min, range.Max) != GenImage3D::Done) return;
    char path[FileNameSize];
    if (ImagePathAt(ImageComponent, CurrentTime, path, sizeof path) != Done) path[0] = '\0';
    range.Path = path;
    range.Time = CurrentTime;
    range.Letter = ImageComponent;
    RangeHook(RangeContext, range);
}

ReaDifSimulation::VaryResult ReaDifSimulation::VaryReactionParameters() {
    if (VaryParameters == 0) return VaryResult::NothingToDo;
    for (auto &pair : ReactionParameters) pair[0] = pair[0] + pair[1];
    return VaryResult::Done;
}

int32_t ReaDifSimulation::SliceSize(int components, uint32_t points) {
    if (points == 0) points = 1;
    int32_t steps = int32_t(double(components) * SliceUpdates / double(points)) + 1;
    if (steps > 5) steps = steps / 5 * 5;
    return steps;
}

bool ReaDifSimulation::PeriodicImageDue(int64_t time) const {
    // An image period of 0 or less (no image line) asks for no images.
    return ImagePeriod > 0 && time >= ImageStart && (time - ImageStart) % ImagePeriod == 0;
}

bool ReaDifSimulation::FinalImageDue(int64_t time) const {
    return ImagePeriod > 0 && time == EndTime && EndTime % ImagePeriod != 0;
}

bool ReaDifSimulation::ImageDue(int64_t time) const {
    return PeriodicImageDue(time) || FinalImageDue(time);
}

void ReaDifSimulation::KeepFinalImageOnly() {
    if (ImagePeriod <= 0 || EndTime <= 0) return;
    // One period as long as the run, starting at its end: due at EndTime and nowhere else, and
    // EndTime a multiple of the period, so the final image is not added a second time.
    if (FrameImagePeriod == 0) {
        FrameStart = ImageStart;
        FrameImagePeriod = ImagePeriod;
    }
    ImageStart = EndTime;
    ImagePeriod = EndTime;
}

int64_t ReaDifSimulation::ImageCount() const {
    if (ImagePeriod <= 0 || EndTime <= 0) return 0;
    // The periodic images: the first is the smallest n >= 1 that PeriodicImageDue accepts.
    const int64_t period = ImagePeriod;
    int64_t first = ImageStart;
    if (first < 1) first += ((1 - first) + period - 1) / period * period;
    int64_t images = first > EndTime ? 0 : (EndTime - first) / period + 1;
    // The final image, unless a periodic one already falls on EndTime: one file, saved once.
    if (FinalImageDue(EndTime) && !PeriodicImageDue(EndTime)) ++images;
    return images;
}

int32_t ReaDifSimulation::QuietIterations(int64_t target) const {
    if (VaryParameters != 0) return 1;
    for (int i = 0; i < ComponentCount; ++i) {
        const double d = DiffusionCoeff[i];
        if (DiffusionCoeffVariation[i] != 0.0 || !(d >= 0.0 && d <= 1.0)) return 1;
    }
    // The NaN test follows the iterations whose count is a multiple of the test period.
    int64_t last =
        CurrentTime + (OverflowTestPeriod - CurrentTime % OverflowTestPeriod) % OverflowTestPeriod;
    if (last > target - 1) last = target - 1;
    for (int64_t t = CurrentTime; t < last; ++t) {
        if (ImageDue(t + 1) || FrameDue(t + 1) || ChangeDue(t + 1))
            return int32_t(t - CurrentTime + 1);
    }
    return int32_t(last - CurrentTime + 1);
}

ReaDifSimulation::RunResult ReaDifSimulation::RunSimulation(int32_t count) {
    if (ErrorStatus == StatusAllocationFailed || ComponentCount == 0 || !Built() ||
        Components[0] == nullptr || count < 0 || ReactionStep == nullptr) {
        return RunResult::Refused;
    }
    Image3DFloat &first = *Components[0];
    if (uint32_t(first.GetSizeX()) * first.GetSizeY() > RunPixelLimit) return RunResult::Refused;
    if (CurrentTime >= EndTime) return RunResult::Complete;

    if (CurrentTime == 0) {
        LastCurSpeedMeasure = 0;
        RunTimer.Reset();
        RunTimer.Start();
    }
    const int64_t target =
        count == 0 ? EndTime : std::min<int64_t>(int64_t(CurrentTime) + count, EndTime);
    ErrorStatus = StatusUsable;

    while (CurrentTime < target) {
        // The fused kernel gives the bits of the two steps, several iterations at a time where
        // nothing happens between them; whatever it does not cover takes the steps one after
        // the other, one iteration at a time.
        const int32_t batch = QuietIterations(target);
        // The kernel tests for NaN itself where the test follows its last iteration: its threads
        // look at the lines they have just written. -1: not looked at.
        int nan = -1;
        const bool testDue = (CurrentTime + batch - 1) % OverflowTestPeriod == 0;
        if (FusedIteration(batch, testDue ? &nan : nullptr) == FuseResult::Done) {
            CurrentTime += batch - 1;  // the batch's last iteration is counted below
        } else {
            for (int step = 0; step < ReactionSubSteps; ++step) {
                if ((this->*ReactionStep)() != Done) return RunResult::Refused;
            }
            if (DiffusionStep() != Done) return RunResult::Refused;
        }
        // A NaN found here stops the slice before this iteration is counted.
        if (CurrentTime % OverflowTestPeriod == 0 &&
            (nan >= 0 ? nan != 0
                      : first.NumericOverflowDetected(1000.0) != Image3DFloat::Overflow::None)) {
            ErrorStatus = StatusOverflow;
            break;
        }
        (void)VaryReactionParameters();
        for (int i = 0; i < ComponentCount; ++i) {
            double &d = DiffusionCoeff[i];
            d = d + DiffusionCoeffVariation[i];
            if (d < 0.0) {
                d = 0.0;
            } else if (d > 1.0) {
                d = 1.0;
            }
        }
        ++CurrentTime;
        // A refused or failed save does not stop the run; it is counted and told apart.
        if (ImageDue(CurrentTime)) ReportImageRange();
        if (ImageDue(CurrentTime) && WriteImages) {
            if (SaveImage2D(ImageComponent) == GenImage3D::Done) {
                ++ImagesWritten;
            } else {
                NoteImageFailure(FailedImageName, LastImageErrno);
            }
        }
        if (FrameDue(CurrentTime)) (void)EmitFrame();
        // After the image: it shows the field as it was before the change.
        if (ChangeDue(CurrentTime)) ApplyDueChanges();
    }

    const double seconds = RunTimer.ReadIntermediateTime();
    if (seconds >= SpeedMeasurePeriod) {
        RunTimer.IntermediateStop();
        const double rate = double(CurrentTime - LastCurSpeedMeasure) / seconds;
        CurrentSpeed =
            std::trunc(double(first.GetPixelCount()) * rate / PointsPerMTimesHundredth + 0.5) /
            100.0;
        IterationsPerSecond = std::trunc(rate * 10.0 + 0.5) / 10.0;
        LastCurSpeedMeasure = CurrentTime;
    }
    if (CurrentTime != EndTime) return RunResult::Ran;

    RunTimer.Stop();
    const double used = RunTimer.GetUsedTime();
    if (used > SpeedMeasurePeriod) {
        AverageSpeed = std::trunc(double(first.GetPixelCount()) * double(EndTime) /
                                      (used * PointsPerMTimesHundredth) +
                                  0.5) /
                       100.0;
    }
    return RunResult::Ran;
}
