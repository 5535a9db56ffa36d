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
  kStationReachesMissingRows,
  kTraceNotCredible,
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
