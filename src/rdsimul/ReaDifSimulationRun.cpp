// The run loop of ReaDifSimulation: start of a run, iterations in slices with parameter drift,
// overflow watch, speed figures, and the output images.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "rdsimul/ReaDifSimulation.h"

namespace {

// 2^20 points per M, and the hundredths the speeds are rounded to.
constexpr double PointsPerMTimesHundredth = 10485.76;
constexpr double BytesPerMB = 1048576.0;

}  // namespace

int ReaDifSimulation::Initialize() {
    CurrentTime = 0;
    PreviewTime = 0;
    CurrentSpeed = 0.0;
    AverageSpeed = 0.0;
    int result = Refused;
    // All of A first, then B, ...: the seed fixes the whole initial state.
    for (int i = 0; i < ComponentCount && Built(); ++i) {
        if (Components[i] == nullptr) continue;
        result = Components[i]->InitRandomNoise(float(InitConcentration[i]), float(InitNoise[i]));
    }
    return result;
}

int ReaDifSimulation::VaryReactionParameters() {
    if (VaryParameters == 0) return NothingToDo;
    for (auto &pair : ReactionParameters) pair[0] = pair[0] + pair[1];
    return Done;
}

int ReaDifSimulation::RunSimulation(int32_t count) {
    if (ErrorStatus == StatusAllocationFailed || ComponentCount == 0 || !Built() ||
        Components[0] == nullptr || count < 0 || ReactionStep == nullptr) {
        return Refused;
    }
    Image3DFloat &first = *Components[0];
    if (uint32_t(first.GetSizeX()) * first.GetSizeY() > MaxRunPixels) return Refused;
    if (CurrentTime >= EndTime) return RunComplete;

    if (CurrentTime == 0) {
        LastCurSpeedMeasure = 0;
        RunTimer.Reset();
        RunTimer.Start();
    }
    const int64_t target =
        count == 0 ? EndTime : std::min<int64_t>(int64_t(CurrentTime) + count, EndTime);
    ErrorStatus = StatusUsable;

    while (CurrentTime < target) {
        for (int step = 0; step < ReactionSubSteps; ++step) {
            if ((this->*ReactionStep)() != Done) return Refused;
        }
        if (DiffusionStep() != Done) return Refused;
        // A NaN found here stops the slice before this iteration is counted.
        if (CurrentTime % OverflowTestPeriod == 0 && first.NumericOverflowDetected(1000.0) != 0) {
            ErrorStatus = StatusOverflow;
            break;
        }
        VaryReactionParameters();
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
        // An image period of 0 or less (no image line) asks for no images.
        if (ImagePeriod > 0 && CurrentTime >= ImageStart &&
            (int64_t(CurrentTime) - ImageStart) % ImagePeriod == 0) {
            SaveImage2D(ImageComponent);
        }
    }
    // The last iteration gets its image when the period did not already give it one.
    if (CurrentTime == EndTime && ImagePeriod > 0 && CurrentTime % ImagePeriod != 0) {
        SaveImage2D(ImageComponent);
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
    if (CurrentTime != EndTime) return Done;

    RunTimer.Stop();
    const double used = RunTimer.GetUsedTime();
    if (used > SpeedMeasurePeriod) {
        AverageSpeed = std::trunc(double(first.GetPixelCount()) * double(EndTime) /
                                      (used * PointsPerMTimesHundredth) +
                                  0.5) /
                       100.0;
    }
    return Done;
}

int ReaDifSimulation::SaveImage2D(char letter) {
    if (letter == 0) letter = ImageComponent;
    const int index = GetComponentIndex(letter);
    if (index < 0 || Components[index] == nullptr || ColorMaps8[0] == nullptr ||
        ColorMaps24[0] == nullptr) {
        return Refused;
    }
    const char *base = FileBaseName.GetString() != nullptr ? FileBaseName.GetString() : "";
    const int length = std::snprintf(ImageFileName, sizeof ImageFileName, "%s_%c%06d%s", base,
                                     letter, int(CurrentTime), ImageFormat == 'T' ? ".tga" : ".bmp");
    if (length < 0 || size_t(length) >= sizeof ImageFileName) {
        // A cut name would write some other file; write none.
        ImageFileName[0] = '\0';
        return Refused;
    }
    Image3DFloat &field = *Components[index];

    if (TrueColor != 0) {
        ColorMapRGBA8 &map = *ColorMaps24[0];
        // The script's scale is written for the 256-entry palette: palette index i is entry
        // 1 + 100 (i - 1) of the 25303-entry map.
        if (ImageScale == 0.0) {
            (void)field.ConvertAutoScaleTo(TmpImage2D24, map);
        } else {
            (void)field.ConvertTo(TmpImage2D24, map, float(100.0 * ImageScale),
                                  float(1.0 + 100.0 * (ImageOffset - 1.0)));
        }
        Image3D24 *picture = &TmpImage2D24;
        if (Mosaic != 0) {
            (void)TmpTileImage2D24.Tile(TmpImage2D24);
            picture = &TmpTileImage2D24;
        }
        return ImageFormat == 'T' ? picture->SaveFileTGA(ImageFileName, 0)
                                  : picture->SaveFileBMP(ImageFileName, 0);
    }

    if (ImageScale == 0.0) {
        (void)field.ConvertAutoScaleTo(TmpImage2D8);
    } else {
        (void)field.ConvertTo(TmpImage2D8, float(ImageScale), float(ImageOffset));
    }
    Image3D8 *picture = &TmpImage2D8;
    if (Mosaic != 0) {
        (void)TmpTileImage2D8.Tile(TmpImage2D8);
        picture = &TmpTileImage2D8;
    }
    // The file carries the script's colour map as its palette.
    (void)picture->ShareColorMap(*ColorMaps8[0]);
    return ImageFormat == 'T' ? picture->SaveFileTGA(ImageFileName, 0)
                              : picture->SaveFileBMP(ImageFileName, 0);
}

int32_t ReaDifSimulation::EvalSaveImageDiskSpace() const {
    if (!Built() || Components[0] == nullptr || ImagePeriod <= 0 || EndTime <= 0) return 0;
    double bytes;
    if (Mosaic != 0) {
        const GenImage3D &tile = TrueColor != 0 ? static_cast<const GenImage3D &>(TmpTileImage2D24)
                                                : static_cast<const GenImage3D &>(TmpTileImage2D8);
        bytes = double(tile.GetSizeX()) * tile.GetSizeY();
    } else {
        bytes = double(Components[0]->GetSizeX()) * Components[0]->GetSizeY();
    }
    if (TrueColor != 0) bytes *= 3.0;

    // Iterations n in 1 .. EndTime with n >= ImageStart and (n - ImageStart) a multiple of the
    // period: the first is the smallest such n that is at least 1.
    const int64_t period = ImagePeriod;
    int64_t first = ImageStart;
    if (first < 1) first += ((1 - first) + period - 1) / period * period;
    int64_t images = first > EndTime ? 0 : (EndTime - first) / period + 1;
    if (EndTime % period != 0) ++images;  // the final image
    return int32_t(std::trunc(double(images) * bytes / BytesPerMB + 0.5));
}
