#pragma once

// The catalogue of every failure message the core can give, each in English
// (what the commands print, for scripts) and Japanese (what the window
// shows). Texts hold placeholders {0}, {1}, ... for the values a failure
// names: a path, a number, a field, or the failure of a lower step. Both
// languages of an entry use the same placeholders.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace sarn {

enum class Language { kEnglish, kJapanese };

enum class MessageId : uint16_t {
  // Reading and replacing files; {0} is the path.
  kFileNotFound,
  kFileNoPermission,
  kFileCannotOpen,
  kFileNotRegular,
  kFileIsFolder,
  kFileTooLargeBytes,
  kFileTooLarge,
  kFileTooLargeToRead,
  kFileReadError,
  kFileTooManyMapped,
  kFileCannotCreateBeside,
  kFileCannotWrite,
  // The conductor data file SetDT.dat; {0} is its path.
  kWireFileUnreadable,
  kWireFileEmpty,
  kWireFileOneByte,
  kWireFileShort,
  kWireCountNegative,
  kWireFileTruncated,
  kWireFieldNotPositive,
  kWireFieldNegative,
  // The conductor table's text source; {0} is the line number.
  kSourceLine,
  kSourceNotNumber,
  kSourceOutOfFloatRange,
  kSourceOutsideInt16,
  kSourceNotWholeDegrees,
  kSourceDesignTwice,
  kSourceDesignFields,
  kSourceConductorFields,
  kSourceTooManyConductors,
  kSourceNameEmpty,
  kSourceNoDesignLine,
  kSourceNoConductor,
  kTermClassATemperature,
  kTermLowSeasonTemperature,
  // Conductor names in code page 932.
  kNameControlCharacter,
  kNameNoConverter,
  kNameNotUtf8,
  kNameCharacterNotInCp932,
  kNameTooLong,
  // Photos. {0} of kPhotoAtPath is the path; codes beside each in load_plan.h.
  kPhotoAtPath,
  kPhotoSizeExceeds,
  kPhotoNoPixels,
  kPhotoFileEmpty,
  kPhotoNotJpeg,
  kPhotoNotImage,
  kPhotoNotImageBecause,
  kPhotoTooLargeToDecode,
  kPhotoTooLargeToDecodeNeeds,
  kPhotoTooLargeToDecodeBecause,
  kPhotoCutShort,
  kJpegDecoder,
  kJpegOutOfMemory,
  kJpegProgressiveTooLarge,
  kJpegUnexpectedSize,
  kHeifOutOfMemory,
  kHeifLargerThanLimit,
  kHeifCannotRead,
  kHeifNoPrimaryImage,
  kHeifCannotDecode,
  kHeifNeedsMore,
  kHeifUnexpectedOutput,
  kHeifLibraryMissing,  // {0}: the dynamic loader's words
  kWorkingImageNegative,
  kWorkingImageEmpty,
  kWorkingImageEmptyCut,
  kWorkingImageNone,
  kWorkingSizeOutOfRange,
  kWorkingCutHeightOverflow,
  kOverviewDividesByZero,
  kOverviewTooLarge,
  kWorkingRasterTooLarge,
  kWorkingRasterNoMemory,
  kViewsNoMemory,
  kPhotoIncomplete,
  // The measurement.
  kSagUnknown,
  kStationReachesMissingRows,
  kTraceNotCredible,
  // Lens distortion correction.
  kLensNoCamera,
  kLensCameraUnknown,   // {0}: the camera as the photo or the user names it
  kLensNoLensNamed,     // {0}: the camera's model
  kLensUnknown,         // {0}: the lens's model
  kLensNoFocalLength,   // {0}: the lens's model
  kLensNoCalibration,   // {0}: the lens's model
  kLensLibraryMissing,  // {0}: the dynamic loader's words
  kLensNotApplied,      // {0}: why (one of the above)
  kLensNotAppliedPick,  // {0}: why; the window's advice to choose the lens
  kLensAdvised,         // {0}: camera, {1}: lens, {2}: the change to the 4/4 sag, "+7.4"
  // The state equation and the tension evaluation; {0} of the first four is a term below.
  kNotFinite,
  kOverflowsFloat,
  kDivisionByZero,
  kConductorProblem,
  kStateEqTermsNotFinite,
  kStateEqNoConvergence,
  kStateEqNoPositiveRoot,
  kStateEqRootBeyondRange,
  kConductorIndexOutside,
  kConductorIndexOutsideTable,
  kUnknownLoadCondition,
  kTermOwnWeightLoad,
  kTermElasticity,
  kTermAllowableTension,
  kTermAllowableStress,
  kTermWeightPerSection,
  kTermResidual,
  kTermWindLoad,
  kTermIceLoad,
  kTermResultantLoad,
  kTermLoadRatio,
  kTermK1,
  kTermOwnWeightTerm,
  kTermTemperatureChange,
  kTermThermalTerm,
  kTermK,
  kTermPresentStress,
  kTermSpanAllowTension,
  kTermPresentTension,
  kTermRatio,
  kTermSpecifiedSag,
  kTermSafetyFactorZero,
  kTermAreaZero,
  kTermWeightZero,
  kTermAllowableStressZero,
  kTermGoverningZero,
  // The stringing chart.
  kNotPositive,
  kNegativeOrNotNumber,
  kNotANumber,
  kTermConductorField,
  kTermSpanLength,
  kTermAirTemperature,
  kTermDesignTemperature,
  kTermTemperatureRange,
  kChartStepNotPositive,
  kChartRangeReversed,
  kChartTooManyRows,
  kChartPresentNotFinite,
  kChartNoConductor,
  // The report and the annotated image; {0} is the path.
  kReportNeedsGui,
  kReportCannotStartPage,
  kReportNoWorkingImage,
  kReportCannotEncodePng,
  // Saved measurements (NAME.sarn.json); {0} is the file's path unless said.
  kSavedUnreadable,   // {0}: the file's failure
  kSavedBrokenAt,     // {1}: the byte
  kSavedBrokenField,  // {1}: the field
  kSavedForeign,
  kSavedNewerVersion,      // {1}: the file's version, {2}: the newest this reads
  kSavedPhotoUnreadable,   // {0}: the photo's failure
  kSavedPhotoChanged,      // {0}: the photo's path
  kDigestLibraryMissing,   // {0}: the dynamic loader's words
  kSavedUnknownConductor,  // {1}: the conductor's name
  kSavedNothingToSave,
  kSavedStaleResults,
  kSavedNotWritten,  // {0}: the failure of the write
  kSavedNotUtf8,
  kSavedPhotoDiffers,     // {0}: the photo's path
  kSavedLensUnavailable,  // {0}: the saved lens mode, {1}: why it cannot be applied
  kSavedResultsDiffer,
  kSavedResultDiffers,      // {0}: a term below, {1}: the saved value, {2}: the value now
  kSavedResultTextDiffers,  // {0}: a term below
  kSavedEmptyValue,
  kTermPresentSag,
  kTermEstimate44,
  kTermEstimate34,
  kTermEstimate24,
  kTermAllowableA,
  kTermAllowableBC,
  kTermRatioColour,
  kTermResultText,
  kTermRed,
  kTermYellow,
  // Precision tracing's reasons for finding no credible conductor: the
  // tracer's own English texts, found again by TraceReasonFailure.
  kTraceNoPicture,
  kTraceLineTooShort,
  kTraceNoConductorInBand,
  kTraceByChance,       // {0} how many times the curve could arise by chance
  kTraceTooFewColumns,  // {0} the share found, {1} the share needed, per cent
  kTraceEndMissing,
  kTraceStationMissing,  // {0} the station
  kTraceScatter,         // {0} the scatter, {1} the most credible, pixels
  kTraceFainterLineAbove,
  kTraceBetweenOppositeLines,
  kTraceClearerConductorBelow,
  kTraceSeenMoreBelow,
  kTraceOther,  // {0} a reason the catalogue does not know, as the tracer wrote it
  // The window's own messages.
  kWindowChartNoMeasurement,
  kWindowChartCannotMake,  // {0} why
  kWindowCannotSaveFile,   // {0} why (naming the path)
  kWindowReportNotSaved,   // {0} why (naming the path)

  kCount  // not a message: the number of entries
};

struct MessageEntry {
  MessageId id;
  std::string_view english;
  std::string_view japanese;
};

// The whole catalogue, one entry per MessageId in the enum's order.
std::span<const MessageEntry> MessageCatalogue();

// The text of `id` in `language` with {i} replaced by arguments[i]; a
// placeholder without an argument stays as it is.
std::string RenderMessage(MessageId id, Language language, std::span<const std::string> arguments);

}  // namespace sarn
