#include "state/messages.h"

#include <array>
#include <cstddef>

namespace sarn {
namespace {

using enum MessageId;

// One entry per MessageId, in the enum's order (checked at compile time).
constexpr std::array<MessageEntry, static_cast<size_t>(kCount)> kCatalogue = {{
    // Reading and replacing files; {0} is the path.
    {kFileNotFound, "{0}: the file does not exist", "{0}: ファイルが見つかりません"},
    {kFileNoPermission, "{0}: the file cannot be read ({1})",
     "{0}: ファイルを読み取る権限がありません ({1})"},
    {kFileCannotOpen, "{0}: the file cannot be opened ({1})", "{0}: ファイルを開けません ({1})"},
    {kFileNotRegular, "{0}: this is not a regular file", "{0}: 通常のファイルではありません"},
    {kFileIsFolder, "{0}: this is a folder, not a file", "{0}: ファイルではなくフォルダーです"},
    {kFileTooLargeBytes, "{0}: the file is too large ({1} bytes)",
     "{0}: ファイルが大きすぎます ({1} バイト)"},
    {kFileTooLarge, "{0}: the file is too large", "{0}: ファイルが大きすぎます"},
    {kFileTooLargeToRead, "{0}: the file is too large to read",
     "{0}: ファイルが大きすぎて読み込めません"},
    {kFileReadError, "{0}: the file cannot be read ({1})",
     "{0}: ファイルの読み込み中にエラーが発生しました ({1})"},
    {kFileTooManyMapped, "{0}: too many files are mapped at once",
     "{0}: 同時に開いているファイルが多すぎます"},
    {kFileCannotCreateBeside, "{0}: cannot create a file beside it ({1})",
     "{0}: 同じフォルダーに一時ファイルを作成できません ({1})"},
    {kFileCannotWrite, "{0}: cannot write the file ({1})", "{0}: ファイルを書き込めません ({1})"},
    // The conductor data file SetDT.dat; {0} is its path.
    {kWireFileUnreadable, "{0}.", "電線データファイルを読み込めません。{0}"},
    {kWireFileEmpty, "{0}: the file is empty; it should hold a conductor table.",
     "{0}: ファイルが空です。電線表が入っている必要があります。"},
    {kWireFileOneByte, "{0}: the file is only 1 byte long, too short for its 6-byte header.",
     "{0}: ファイルが 1 バイトしかなく、6 バイトのヘッダーに足りません。"},
    {kWireFileShort, "{0}: the file is only {1} bytes long, too short for its 6-byte header.",
     "{0}: ファイルが {1} バイトしかなく、6 バイトのヘッダーに足りません。"},
    {kWireCountNegative, "{0}: the conductor count is negative (the highest index is {1}).",
     "{0}: 電線の数が負になっています (最大の番号が {1} です)。"},
    {kWireFileTruncated,
     "{0}: the file holds {1} conductors' worth of bytes ({2} bytes) but says it holds {3} ({4} "
     "bytes needed).",
     "{0}: ファイルには電線 {1} 本分のデータ ({2} バイト) しかありませんが、{3} "
     "本と記録されています (必要なのは {4} バイト)。"},
    {kWireFieldNotPositive, "{0} is not a finite positive number ({1})",
     "{0} が有限の正の数ではありません ({1})"},
    {kWireFieldNegative, "{0} is not a finite number of 0 or more ({1})",
     "{0} が 0 以上の有限の数ではありません ({1})"},
    // The conductor table's text source; {0} is the line number.
    {kSourceLine, "line {0}: {1}", "{0} 行目: {1}"},
    {kSourceNotNumber, "{0} is not a number (\"{1}\")", "{0} が数値ではありません (\"{1}\")"},
    {kSourceOutOfFloatRange, "{0} is out of the range of a 32-bit float (\"{1}\")",
     "{0} が 32 ビット浮動小数点数の範囲外です (\"{1}\")"},
    {kSourceOutsideInt16, "{0} is outside -32768..32767 (\"{1}\")",
     "{0} が -32768..32767 の範囲外です (\"{1}\")"},
    {kSourceNotWholeDegrees, "{0} is not a whole number of degrees (\"{1}\")",
     "{0} が整数の度数ではありません (\"{1}\")"},
    {kSourceDesignTwice, "the design temperatures are given a second time (first on line {0})",
     "設計温度が二度指定されています (最初は {0} 行目)"},
    {kSourceDesignFields,
     "the design-temperatures line needs 3 fields (\"design temperatures | class A | low "
     "season\"), found {0}",
     "設計温度の行には 3 つの欄 (\"design temperatures | class A | low season\") が必要ですが、{0} "
     "個あります"},
    {kSourceConductorFields,
     "a conductor line needs 9 fields (the name and eight values) separated by \"|\", found {0}",
     "電線の行には \"|\" で区切った 9 つの欄 (名前と 8 つの値) が必要ですが、{0} 個あります"},
    {kSourceTooManyConductors, "more than {0} conductors", "電線が {0} 本を超えています"},
    {kSourceNameEmpty, "the conductor name is empty", "電線名が空です"},
    {kSourceNoDesignLine,
     "the table ends without a design-temperatures line (\"design temperatures | class A | low "
     "season\")",
     "設計温度の行 (\"design temperatures | class A | low season\") がないまま表が終わっています"},
    {kSourceNoConductor, "the table ends without any conductor",
     "電線が 1 本もないまま表が終わっています"},
    {kTermClassATemperature, "the class-A temperature", "甲種の温度"},
    {kTermLowSeasonTemperature, "the low-season temperature", "低温季の温度"},
    // Conductor names in code page 932.
    {kNameControlCharacter, "the name contains a control character",
     "名前に制御文字が含まれています"},
    {kNameNoConverter, "code page 932 conversion is not available on this system",
     "このシステムではコードページ 932 への変換を利用できません"},
    {kNameNotUtf8, "the name is not valid UTF-8", "名前が正しい UTF-8 ではありません"},
    {kNameCharacterNotInCp932, "the name has a character that code page 932 cannot hold (\"{0}\")",
     "名前にコードページ 932 で表せない文字があります (\"{0}\")"},
    {kNameTooLong, "the name takes {0} bytes in code page 932, more than 20",
     "名前がコードページ 932 で {0} バイトになり、20 バイトを超えています"},
    // Photos. {0} of kPhotoAtPath is the path; codes beside each in load_plan.h.
    {kPhotoAtPath, "{0}: {1}", "{0}: {1}"},
    {kPhotoSizeExceeds, "photo size {0} x {1} exceeds 32767",
     "写真のサイズ {0} x {1} が 32767 を超えています"},
    {kPhotoNoPixels, "the photo has no pixels", "写真に画素がありません"},
    {kPhotoFileEmpty, "the file is empty", "ファイルが空です"},
    {kPhotoNotJpeg, "not a JPEG or HEIF file", "JPEG でも HEIF でもないファイルです"},
    {kPhotoNotImage, "not an image", "画像ではありません"},
    {kPhotoNotImageBecause, "not an image ({0})", "画像ではありません ({0})"},
    {kPhotoTooLargeToDecode, "the photo is too large to decode", "写真が大きすぎて復号できません"},
    {kPhotoTooLargeToDecodeNeeds,
     "the photo is too large to decode: {0} pixels need {1} MB, more than {2} MB",
     "写真が大きすぎて復号できません: {0} ピクセルに {1} MB が必要で、上限の {2} MB を超えます"},
    {kPhotoTooLargeToDecodeBecause, "the photo is too large to decode: {0} pixels ({1})",
     "写真が大きすぎて復号できません: {0} ピクセル ({1})"},
    {kPhotoCutShort, "the file was cut short while it was read",
     "読み込み中にファイルが短くなりました"},
    {kJpegDecoder, "JPEG decoder: {0}", "JPEG デコーダー: {0}"},
    {kJpegOutOfMemory, "JPEG decoder: {0}", "JPEG デコーダーのメモリーが不足しました: {0}"},
    {kJpegProgressiveTooLarge,
     "JPEG decoder: the progressive photo needs more than {0} MB to decode",
     "JPEG デコーダー: このプログレッシブ JPEG の復号には {0} MB を超えるメモリーが必要です"},
    {kJpegUnexpectedSize, "JPEG decoder: unexpected output size",
     "JPEG デコーダー: 出力のサイズが想定と異なります"},
    // {0} of the next four is libheif's own words, ": " and the text, or empty.
    {kHeifOutOfMemory, "HEIF decoder: out of memory", "HEIF デコーダーのメモリーが不足しました"},
    {kHeifLargerThanLimit, "HEIF decoder: the photo is larger than 32767 pixels a side{0}",
     "HEIF デコーダー: 写真の 1 辺が 32767 ピクセルを超えています{0}"},
    {kHeifCannotRead, "HEIF decoder: cannot read the file{0}",
     "HEIF デコーダー: ファイルを読めません{0}"},
    {kHeifNoPrimaryImage, "HEIF decoder: no primary image{0}",
     "HEIF デコーダー: 主画像がありません{0}"},
    {kHeifCannotDecode, "HEIF decoder: cannot decode the photo{0}",
     "HEIF デコーダー: 写真を復号できません{0}"},
    {kHeifNeedsMore, "HEIF decoder: the photo needs more than {0} MB to decode",
     "HEIF デコーダー: この写真の復号には {0} MB を超えるメモリーが必要です"},
    {kHeifUnexpectedOutput, "HEIF decoder: unexpected output",
     "HEIF デコーダー: 出力が想定と異なります"},
    {kHeifLibraryMissing,
     "HEIF decoder: libheif cannot be loaded ({0}); install the package libheif1",
     "HEIF デコーダー: libheif を読み込めません ({0})。パッケージ libheif1 "
     "をインストールしてください"},
    {kWorkingImageNegative, "negative working-image size {0} x {1}",
     "作業画像のサイズが負です ({0} x {1})"},
    {kWorkingImageEmpty, "empty working image {0} x {1}", "作業画像が空です ({0} x {1})"},
    {kWorkingImageEmptyCut, "empty working image {0} x {1}",
     "写真の高さが足りず、中央部分を切り出すと作業画像が空になります ({0} x {1})"},
    {kWorkingImageNone, "empty working image", "作業画像が空です"},
    {kWorkingSizeOutOfRange, "working-image size out of 16-bit range for limit {0}",
     "上限 {0} では作業画像のサイズが 16 ビットの範囲を超えます"},
    {kWorkingCutHeightOverflow, "2 x H2 = {0} exceeds 32767", "2 x H2 = {0} が 32767 を超えます"},
    {kOverviewDividesByZero,
     "overview of a {0} x {1} working image in an inner width of {2} divides by zero",
     "内側の幅 {2} では {0} x {1} の作業画像の全体表示が 0 除算になります"},
    {kOverviewTooLarge,
     "the photo cannot be shown: its overview would be {0} pixels (at most 32767 a side and {1} "
     "MB)",
     "写真を表示できません: 全体表示が {0} ピクセルになります (1 辺 32767 ピクセル、{1} MB まで)"},
    {kWorkingRasterTooLarge, "working raster of {0} bytes exceeds {1}",
     "作業画像の {0} バイトが上限の {1} バイトを超えています"},
    {kWorkingRasterNoMemory, "the working raster cannot be allocated",
     "作業画像のメモリーを確保できません"},
    {kViewsNoMemory, "out of memory while building the views",
     "表示用の画像を作成中にメモリーが不足しました"},
    {kPhotoIncomplete, "the photo is incomplete: rows below {0} are missing",
     "写真が不完全です: {0} 行目より下のデータがありません"},
    // The measurement.
    {kSagUnknown, "the sag of pass {0} is not known", "パス {0} の弛度を求められません"},
    {kStationReachesMissingRows, "station {0} reaches the missing rows: {1}",
     "測点 {0} が写真の欠けた行にかかっています: {1}"},
    {kTraceNotCredible, "precision tracing found no credible conductor: {0}",
     "精密トレースで信頼できる電線が見つかりません: {0}"},
    // Lens distortion correction.
    {kLensNoCamera, "the photo names no camera (no EXIF Make and Model)",
     "写真の EXIF にカメラのメーカー・機種がありません"},
    {kLensCameraUnknown, "camera '{0}' is not in the lens database",
     "カメラ「{0}」はレンズのデータベースにありません"},
    {kLensNoLensNamed, "the photo names no lens and {0} takes interchangeable lenses",
     "写真にレンズの名前がなく、{0} はレンズ交換式です"},
    {kLensUnknown, "lens '{0}' is not in the lens database",
     "レンズ「{0}」はレンズのデータベースにありません"},
    {kLensNoFocalLength, "the photo gives no focal length for the zoom lens {0}",
     "ズームレンズ {0} の焦点距離が写真にありません"},
    {kLensNoCalibration, "the lens database holds no distortion calibration for {0}",
     "レンズのデータベースに {0} の歪曲のデータがありません"},
    {kLensLibraryMissing,
     "the lens database library lensfun cannot be loaded ({0}); install the package liblensfun1",
     "レンズのデータベースのライブラリー lensfun を読み込めません ({0})。パッケージ liblensfun1 "
     "をインストールしてください"},
    {kLensNotApplied, "lens correction: {0}; the sag is not corrected",
     "レンズ補正: {0}。弛度は補正されていません"},
    {kLensNotAppliedPick,
     "lens correction: {0}; choose the camera and lens with --lens \"MAKER|MODEL|LENS|FOCAL_MM\"",
     "このカメラ・レンズはレンズ補正のデータベースにないため、補正できません（{0}）。"
     "「カメラ・レンズ…」(Ctrl+K) で選んでください。"},
    {kLensAdvised,
     "lens correction is off: the photo's camera ({0}) and lens ({1}) are in the lens database, "
     "and correcting their distortion changes the 4/4 sag by {2} %; switch it on with --lens "
     "auto (window: レンズ補正, Ctrl+L)",
     "この写真のカメラ ({0}) とレンズ ({1}) は歪曲が大きく、レンズ補正をすると弛度が {2} % "
     "変わります。右クリックのメニューの「レンズ補正」(Ctrl+L) で補正できます。"},
    // The state equation and the tension evaluation; {0} of the first four is a term below.
    {kNotFinite, "{0} is not a finite number", "{0} が有限の数値ではありません"},
    {kOverflowsFloat, "{0} overflows a 32-bit float",
     "{0} が 32 ビット浮動小数点数の範囲を超えています"},
    {kDivisionByZero, "division by zero: {0}", "0 による除算: {0}"},
    {kConductorProblem, "conductor {0}: {1}", "電線 {0}: {1}"},
    {kStateEqTermsNotFinite, "state equation terms are not finite",
     "状態方程式の項が有限の数値ではありません"},
    {kStateEqNoConvergence, "state equation did not converge",
     "状態方程式の解が収束しませんでした"},
    {kStateEqNoPositiveRoot,
     "state equation has no positive root (own-weight term is not positive)",
     "状態方程式に正の解がありません (自重の項が正ではありません)"},
    {kStateEqRootBeyondRange, "state equation root lies beyond the double range",
     "状態方程式の解が倍精度の範囲を超えています"},
    {kConductorIndexOutside, "conductor index {0} lies outside the conductor table",
     "電線番号 {0} は電線表の範囲外です"},
    {kConductorIndexOutsideTable, "conductor index outside the conductor table",
     "電線番号が電線表の範囲外です"},
    {kUnknownLoadCondition, "unknown load condition {0}", "不明な荷重条件 {0}"},
    {kTermOwnWeightLoad, "own-weight load wv", "自重荷重 wv"},
    {kTermElasticity, "elasticity E", "弾性係数 E"},
    {kTermAllowableTension, "allowable tension Ta", "許容張力 Ta"},
    {kTermAllowableStress, "allowable stress s1", "許容応力 s1"},
    {kTermWeightPerSection, "weight per section w", "単位断面積あたりの重量 w"},
    {kTermResidual, "state equation residual", "状態方程式の残差"},
    {kTermWindLoad, "wind load ww", "風圧荷重 ww"},
    {kTermIceLoad, "ice load wi", "氷雪荷重 wi"},
    {kTermResultantLoad, "resultant load", "合成荷重"},
    {kTermLoadRatio, "load ratio q", "荷重比 q"},
    {kTermK1, "K1", "K1"},
    {kTermOwnWeightTerm, "own-weight term a", "自重の項 a"},
    {kTermTemperatureChange, "temperature change", "温度差"},
    {kTermThermalTerm, "thermal term", "温度の項"},
    {kTermK, "k", "k"},
    {kTermPresentStress, "present stress x", "現在応力 x"},
    {kTermSpanAllowTension, "span allowable tension", "径間許容張力"},
    {kTermPresentTension, "present tension", "現在張力"},
    {kTermRatio, "allowable-tension ratio", "許容張力比"},
    {kTermSpecifiedSag, "specified sag", "規定弛度"},
    {kTermSafetyFactorZero, "SafetyFactor is 0", "SafetyFactor (安全率) が 0 です"},
    {kTermAreaZero, "Area is 0", "Area (断面積) が 0 です"},
    {kTermWeightZero, "Weight is 0", "Weight (重量) が 0 です"},
    {kTermAllowableStressZero, "allowable stress s1 is 0 (BreakLoad is 0)",
     "許容応力 s1 が 0 です (BreakLoad が 0)"},
    {kTermGoverningZero, "the governing tension is 0", "支配張力が 0 です"},
    // The stringing chart.
    {kNotPositive, "{0} is not a positive number", "{0} が正の数ではありません"},
    {kNegativeOrNotNumber, "{0} is negative or not a number", "{0} が負の数か数値ではありません"},
    {kNotANumber, "{0} is not a number", "{0} が数値ではありません"},
    {kTermConductorField, "conductor {0}", "電線の {0}"},
    {kTermSpanLength, "span length", "径間長"},
    {kTermAirTemperature, "air temperature", "気温"},
    {kTermDesignTemperature, "design temperature", "設計温度"},
    {kTermTemperatureRange, "temperature range", "温度範囲"},
    {kChartStepNotPositive, "temperature step is not positive", "温度の刻みが正ではありません"},
    {kChartRangeReversed, "temperature range ends below its start",
     "温度範囲の終わりが始まりより低くなっています"},
    {kChartTooManyRows, "temperature range has too many rows (at most {0})",
     "温度範囲の行が多すぎます (最大 {0} 行)"},
    {kChartPresentNotFinite, "present sag or allowable tension is not a finite number",
     "現在弛度または許容張力が有限の数値ではありません"},
    {kChartNoConductor, "no conductor is selected", "電線が選択されていません"},
    // The report and the annotated image; {0} is the path.
    {kReportNeedsGui, "{0}: writing a report or an annotated image needs a QGuiApplication",
     "{0}: 報告書や注記画像の書き出しには QGuiApplication が必要です"},
    {kReportCannotStartPage, "{0}: cannot start the PDF page", "{0}: PDF のページを開始できません"},
    {kReportNoWorkingImage, "{0}: there is no working image to annotate",
     "{0}: 注記する作業画像がありません"},
    {kReportCannotEncodePng, "{0}: cannot encode the image as PNG",
     "{0}: 画像を PNG 形式に変換できません"},
    // Saved measurements.
    {kSavedUnreadable, "cannot read the measurement file {0}", "測定ファイルを読めません。{0}"},
    {kSavedBrokenAt,
     "{0}: the measurement file is damaged: its JSON breaks off or goes wrong at byte {1}",
     "{0}: 測定ファイルが壊れています (JSON の {1} バイト目)"},
    {kSavedBrokenField,
     "{0}: the measurement file is damaged: the field '{1}' is missing or malformed",
     "{0}: 測定ファイルが壊れています (項目 {1} が無いか正しくありません)"},
    {kSavedForeign, "{0}: not a Sarn measurement file", "{0}: Sarn の測定ファイルではありません"},
    {kSavedNewerVersion,
     "{0}: saved by a newer Sarn (format version {1}; this Sarn reads up to version {2})",
     "{0}: 新しい Sarn で保存された測定です (形式の版 {1}。この Sarn が読めるのは版 {2} までです)"},
    {kSavedPhotoUnreadable, "cannot read the photo of the measurement {0}",
     "測定の写真を読めません。{0}"},
    {kSavedPhotoChanged, "{0}: the file changed while it was read",
     "{0}: 読み込み中にファイルが変わりました"},
    {kDigestLibraryMissing,
     "the SHA-256 digest needs libcrypto, which cannot be loaded ({0}); install the package "
     "libssl3",
     "SHA-256 の計算に必要な libcrypto を読み込めません ({0})。パッケージ libssl3 "
     "をインストールしてください"},
    {kSavedUnknownConductor, "{0}: the conductor '{1}' is not in the conductor data",
     "{0}: 電線サイズ「{1}」が電線データにありません"},
    {kSavedNothingToSave, "there is no measurement to save: no photo, or no line scanned on it",
     "保存する測定がありません。写真を読み込み、線を引いてください。"},
    {kSavedStaleResults,
     "the results shown belong to an earlier scan (the threshold is not a number); nothing saved",
     "明るさ閾値が数値でないため、表示中の結果は今の入力によるものではありません。"
     "測定を保存しませんでした。"},
    {kSavedNotWritten, "cannot save the measurement: {0}", "測定を保存できません。{0}"},
    {kSavedNotUtf8,
     "{0}: cannot save the measurement: the photo's path or a typed text is not valid UTF-8",
     "{0}: 測定を保存できません (写真のパスか入力された文字が UTF-8 ではありません)"},
    {kSavedPhotoDiffers, "the photo differs from the one saved (its SHA-256 does not match): {0}",
     "写真が保存時と異なります (SHA-256 が一致しません): {0}"},
    {kSavedLensUnavailable,
     "the saved lens correction ({0}) cannot be applied ({1}); measured without it",
     "保存時のレンズ補正 ({0}) を適用できないため ({1})、補正なしで測定しました"},
    {kSavedResultsDiffer, "the results differ from those saved:", "保存時と結果が異なります:"},
    {kSavedResultDiffers, "  {0}: saved {1}, now {2}", "  {0}: 保存時 {1}、今 {2}"},
    {kSavedResultTextDiffers, "  the {0} differs", "  {0}が異なります"},
    {kSavedEmptyValue, "(empty)", "(空)"},
    {kTermPresentSag, "present sag", "現在弛度"},
    {kTermEstimate44, "estimate 4/4", "推定張力 4/4"},
    {kTermEstimate34, "estimate 3/4", "推定張力 3/4"},
    {kTermEstimate24, "estimate 2/4", "推定張力 2/4"},
    {kTermAllowableA, "class A span allowable tension", "径間許容張力 (甲種)"},
    {kTermAllowableBC, "class B/C span allowable tension", "径間許容張力 (乙種・丙種)"},
    {kTermRatioColour, "colour of the ratio", "許容張力比の色"},
    {kTermResultText, "result text", "結果テキスト"},
    {kTermRed, "red", "赤"},
    {kTermYellow, "yellow", "黄"},
    // Precision tracing's reasons for finding no credible conductor.
    {kTraceNoPicture, "There is no picture to trace.", "トレースする画像がありません。"},
    {kTraceLineTooShort,
     "The drawn line is too short, or lies outside the picture, to trace the conductor along it.",
     "引いた線が短すぎるか画像の外にあるため、線に沿って電線をトレースできません。"},
    {kTraceNoConductorInBand, "No conductor was found in the band below the drawn line.",
     "引いた線の下の帯に電線が見つかりません。"},
    {kTraceByChance,
     "The traced curve stands out of the band's own texture too little: it could arise by "
     "chance {0} times; less than once is credible.",
     "トレースした曲線が帯の模様からほとんど際立っていません。偶然に {0} "
     "回生じうる曲線です。信頼できるのは 1 回未満です。"},
    {kTraceTooFewColumns,
     "Only {0} % of the columns between the line's ends agree on one conductor curve; at least "
     "{1} % must.",
     "線の両端の間の列のうち、一つの電線の曲線に一致するのは {0} % だけです。{1} % "
     "以上が必要です。"},
    {kTraceEndMissing, "The conductor was not found near one end of the drawn line.",
     "引いた線の一方の端の近くで電線が見つかりません。"},
    {kTraceStationMissing, "The conductor was not found near station {0}.",
     "測点 {0} の近くで電線が見つかりません。"},
    {kTraceScatter,
     "The conductor's points scatter {0} px around the fitted curve; at most {1} px is credible.",
     "電線の点が当てはめた曲線の周りに {0} px ばらついています。信頼できるのは {1} px "
     "までです。"},
    {kTraceFainterLineAbove,
     "A fainter line runs above the traced conductor; draw the line just above the conductor "
     "meant.",
     "トレースした電線の上に、より淡い線があります。測る電線のすぐ上に線を引いてください。"},
    {kTraceBetweenOppositeLines,
     "The traced line lies between two lines of the opposite tone, as the gap between two "
     "conductors does; draw the line just above the conductor meant.",
     "トレースした線は、2 本の電線の間の隙間のように、明暗が逆の 2 本の線に挟まれています。"
     "測る電線のすぐ上に線を引いてください。"},
    {kTraceClearerConductorBelow,
     "The traced line barely stands out of the band's texture, and a clearer conductor runs "
     "below it; draw the line just above the conductor meant.",
     "トレースした線は帯の模様からほとんど際立たず、その下により明瞭な電線があります。"
     "測る電線のすぐ上に線を引いてください。"},
    {kTraceSeenMoreBelow,
     "A conductor seen along more of the span runs just below the traced line; draw the line "
     "just above the conductor meant.",
     "トレースした線のすぐ下に、径間のより多くの部分で見える電線があります。"
     "測る電線のすぐ上に線を引いてください。"},
    {kTraceOther, "{0}", "電線の曲線が信頼できる条件を満たしません ({0})"},
    // The window's own messages.
    {kWindowChartNoMeasurement, "no measurement yet", "まだ測定がありません"},
    {kWindowChartCannotMake, "the stringing chart cannot be made ({0})",
     "張力・弛度表を作成できません（{0}）"},
    {kWindowCannotSaveFile, "the file cannot be saved\n{0}", "ファイルを保存できません\n{0}"},
    {kWindowReportNotSaved, "the report was not saved\n{0}", "報告書を保存できませんでした\n{0}"},
}};

constexpr bool InEnumOrder() {
  for (size_t i = 0; i < kCatalogue.size(); ++i)
    if (static_cast<size_t>(kCatalogue[i].id) != i)
      return false;
  return true;
}
static_assert(InEnumOrder(), "the catalogue lists every MessageId once, in the enum's order");

}  // namespace

std::span<const MessageEntry> MessageCatalogue() {
  return kCatalogue;
}

std::string RenderMessage(MessageId id, Language language, std::span<const std::string> arguments) {
  const MessageEntry& entry = kCatalogue[static_cast<size_t>(id)];
  const std::string_view text = language == Language::kJapanese ? entry.japanese : entry.english;
  std::string out;
  out.reserve(text.size() + 32);
  for (size_t i = 0; i < text.size(); ++i) {
    // "{d}" with d one digit: arguments[d].
    if (text[i] == '{' && i + 2 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9' &&
        text[i + 2] == '}') {
      const auto index = static_cast<size_t>(text[i + 1] - '0');
      if (index < arguments.size()) {
        out += arguments[index];
        i += 2;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

}  // namespace sarn
