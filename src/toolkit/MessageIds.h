// MessageIds: the index of every message of the message table by name, in table order, so that
// no caller writes a bare number; GST.Get(MsgXxx) gives the text in the chosen language.
#pragma once

// Window titles, boxes and their captions.
constexpr int MsgTitleNewScript = 1;
constexpr int MsgTitleColorMapTest = 2;  // string: the colour-map specification
constexpr int MsgTitleExample = 3;
constexpr int MsgCaptionAbout = 4;
constexpr int MsgTitleStopped = 5;  // also the caption of the overflow box
constexpr int MsgCaptionError = 6;
constexpr int MsgTitleOverflow = 7;  // integer: iteration
constexpr int MsgCaptionDiskSpace = 8;
constexpr int MsgAboutText = 9;
constexpr int MsgRunInProgress = 10;  // unsigned integer: the seed
constexpr int MsgRunStopped = 11;     // integer: iteration
constexpr int MsgRunFinished = 12;
constexpr int MsgImageCaptured = 13;  // integer: iteration; string: file name
constexpr int MsgDiskSpaceAsk = 14;   // integer: megabytes
constexpr int MsgScriptHasErrors = 15;
constexpr int MsgOverflow = 16;
constexpr int MsgScriptNotWritten = 17;
constexpr int MsgFileNotLoaded = 18;
constexpr int MsgScriptNotReloaded = 19;
constexpr int MsgExampleNotLoaded = 20;
constexpr int MsgScriptUnusable = 21;  // the parser could not read or rewrite the script
constexpr int MsgCaptionColorMapError = 22;
constexpr int MsgNoMemory = 23;
constexpr int MsgNoEditor = 24;
constexpr int MsgFileTypeName = 25;  // open and save dialogs, at most 48 bytes

// Annotations of a rewritten script: the prefix of every annotation line, then the texts.
constexpr int MsgAnnotationPrefix = 26;
constexpr int MsgUnknownKeyword = 27;
constexpr int MsgGivenTwice = 28;
constexpr int MsgNoModelYet = 29;
constexpr int MsgMissingModel = 30;
// 31 to 33 take the component letter twice.
constexpr int MsgMissingDiffusion = 31;
constexpr int MsgMissingReaction = 32;
constexpr int MsgMissingInit = 33;
constexpr int MsgMissingSize = 34;
constexpr int MsgMissingIterations = 35;
constexpr int MsgMissingColormap = 36;
constexpr int MsgMissingImage = 37;
constexpr int MsgModelNoName = 38;
constexpr int MsgModelTextAfter = 39;
constexpr int MsgModelUnknown = 40;
constexpr int MsgModparMissing = 41;
constexpr int MsgModparTextAfter = 42;
constexpr int MsgModparBadName = 43;
constexpr int MsgReactionMissing = 44;
constexpr int MsgReactionTextAfter = 45;
constexpr int MsgReactionRange = 46;  // the last component letter
constexpr int MsgDiffusionMissing = 47;
constexpr int MsgDiffusionTextAfter = 48;
constexpr int MsgDiffusionRange = 49;  // the last component letter
constexpr int MsgInitMissing = 50;
constexpr int MsgInitTextAfter = 51;
constexpr int MsgInitRange = 52;  // the last component letter
constexpr int MsgSizeMissing = 53;
constexpr int MsgSizeTextAfter = 54;
constexpr int MsgSizeRange = 55;
constexpr int MsgIterationsMissing = 56;
constexpr int MsgIterationsTextAfter = 57;
constexpr int MsgIterationsRange = 58;
constexpr int MsgSeedMissing = 59;
constexpr int MsgSeedTextAfter = 60;
constexpr int MsgGrayTextAfter = 61;
constexpr int MsgRgbNumbers = 62;
constexpr int MsgRgbTextAfter = 63;
constexpr int MsgHslNumbers = 64;
constexpr int MsgHslTextAfter = 65;
constexpr int MsgXyzNumbers = 66;
constexpr int MsgXyzTextAfter = 67;
constexpr int MsgCmykNumbers = 68;
constexpr int MsgCmykTextAfter = 69;
constexpr int MsgYcbcrNumbers = 70;
constexpr int MsgYcbcrTextAfter = 71;
constexpr int MsgNoColorSpace = 72;
constexpr int MsgUnknownColorSpace = 73;
constexpr int MsgImageSyntax = 74;
constexpr int MsgMosaicMissing = 75;
constexpr int MsgMosaicRange = 76;
constexpr int MsgImageTextAfter = 77;
constexpr int MsgImageComponent = 78;  // the last component letter

// File failures: a frame for the cause, then the causes themselves (single lines, without the
// file's name; callers put the name and the cause around them).
constexpr int MsgFileNotWritten = 79;
constexpr int MsgImagesNotWritten = 80;  // integer: images that failed in the run
constexpr int MsgCausePermission = 81;
constexpr int MsgCauseNoSpace = 82;
constexpr int MsgCauseNameTooLong = 83;
constexpr int MsgCauseNotRegular = 84;
constexpr int MsgCauseNotText = 85;  // long long: offset of the zero byte
constexpr int MsgCauseTooLong = 86;  // long long: size; long long: limit
constexpr int MsgCauseReadOnly = 87;
constexpr int MsgCauseMissing = 88;
constexpr int MsgCauseNotFolder = 89;
constexpr int MsgCauseUnknown = 90;
constexpr int MsgFileNotRead = 91;
constexpr int MsgImageNotWritten = 92;
// Warnings about a valid script: shown, never written into it.
// The model name, the modpar name as written, the model's parameter names.
constexpr int MsgWarnParameterNotRead = 93;
constexpr int MsgWarnModelReadsNone = 94;  // the model name, the modpar name as written
// The model name, the parameter's name, its meaning, its typical value (double).
constexpr int MsgWarnParameterUnset = 95;
// The desktop run text: the heading above the warnings, then one line per warning.
constexpr int MsgRunWarnings = 96;
constexpr int MsgRunWarningLine = 97;  // integer: line; string: the warning
