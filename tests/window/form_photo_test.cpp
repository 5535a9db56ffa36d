// Form1 with a photo: the file choice, the fit of the window, the line drawn
// on the overview ending in a scan, panning, the display options, and the
// loading failures with their messages.

#include <gtest/gtest.h>

#include <QApplication>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/recent_files.h"
#include "photo/photo_loader.h"
#include "sag/sag_computation.h"
#include "support/span_photo.h"
#include "toolkit/bgr_color.h"
#include "tracing/scan.h"
#include "window/form_fixture.h"

namespace sarn::test {
namespace {

constexpr int kPhotoWidth = 1200;
constexpr int kPhotoHeight = 900;
// With the cut (Check4) the working image keeps photo rows 225..674.
constexpr int kCutTop = 225;

SpanScene TestScene() {
  SpanScene scene = ScaledScene(SpanScene{}, kPhotoWidth, kPhotoHeight);
  scene.poles = false;
  scene.seed = 3;
  return scene;
}

// The worked conductor, one whose evaluation fails (Area 0), and a weak one
// (BreakLoad 2 kN) whose allowable tension is far below any traced tension.
std::vector<uint8_t> PhotoTable() {
  ConductorBytes no_area = WorkedConductor("NO-AREA");
  no_area.area = 0;
  ConductorBytes weak = WorkedConductor("WEAK");
  weak.break_load = 2;
  return SetDtBytes(15, -5, {WorkedConductor("WORKED-A"), no_area, weak});
}

class FormPhoto : public FormFixture {
 protected:
  void SetUp() override {
    FormFixture::SetUp();
    Start(PhotoTable());
    scene_ = TestScene();
    photo_ = folder_.Write("span.JPG", RenderSpanJpeg(scene_));
  }

  void Choose(const std::string& path) {
    dialogs_.open_result = path;
    form_->Command1->click();
    QApplication::processEvents();
  }

  // A photo point (cut on) in Picture1's pixels.
  QPointF OverviewPixels(double x, double y) const {
    const double scale = form_->ImgScale();
    return {x / scale * (15.06 / 15.0), (y - kCutTop) / scale};
  }

  // Drags the scan line from (x1, y1) to (x2, y2), photo pixels.
  void DrawLine(double x1, double y1, double x2, double y2) {
    const QPointF from = OverviewPixels(x1, y1), to = OverviewPixels(x2, y2);
    Press(form_->Picture1, from, Qt::LeftButton);
    Move(form_->Picture1, (from + to) / 2, Qt::LeftButton);
    Move(form_->Picture1, to, Qt::LeftButton);
    Release(form_->Picture1, to, Qt::LeftButton);
  }

  void DrawSampleLine() {
    const PhotoLine line = SampleScanLine(scene_);
    DrawLine(line.x1, line.y1, line.x2, line.y2);
  }

  SpanScene scene_;
  std::string photo_;
};

TEST_F(FormPhoto, ChoosingAPhotoShowsTheOverviewAcrossTheWindow) {
  const int inner_width = form_->InnerWidth();
  Choose(photo_);
  EXPECT_EQ(dialogs_.initial_names, std::vector<std::string>{""});
  EXPECT_EQ(form_->PhotoPath(), photo_);
  EXPECT_TRUE(dialogs_.messages.empty());
  // Case C: full width, the middle half of the height.
  EXPECT_EQ(form_->Picture2->Picture().width(), kPhotoWidth);
  EXPECT_EQ(form_->Picture2->Picture().height(), kPhotoHeight / 2);
  EXPECT_FALSE(form_->Picture2->isVisible());
  EXPECT_TRUE(form_->Picture1->isVisible());
  EXPECT_FLOAT_EQ(form_->ImgScale(),
                  static_cast<float>(kPhotoWidth) / static_cast<float>(inner_width - 5));
  EXPECT_NEAR(form_->Picture1->Width(), inner_width - 5 + 4, 0.01);
  EXPECT_NEAR(form_->Picture1->Height(), (kPhotoHeight / 2) / form_->ImgScale() + 4, 0.01);
  EXPECT_EQ(form_->Picture1->Top(), 0.0f);
  EXPECT_EQ(form_->Check2->Value(), 0);

  // The overview (about 300 pixels high) is far lower than the maximised
  // window: the window becomes a normal one at the top-left corner, as high as
  // the overview plus 30 pixels and 120 twips narrower than maximised.
  EXPECT_EQ(form_->WindowState(), tk::Window::kStateNormal);
  EXPECT_NEAR(form_->OuterHeight(), (form_->Picture1->Height() + 30) * form_->TwipsPerPixelY(),
              form_->TwipsPerPixelY());
  EXPECT_NEAR(form_->OuterWidth(), form_->SavedWidth, form_->TwipsPerPixelX());
  EXPECT_NEAR(form_->OuterLeft(), 0, 0.5);
  EXPECT_NEAR(form_->OuterTop(), 0, 0.5);
  EXPECT_EQ(form_->Frame1->y(), form_->InnerHeight() - 75);

  // A normal window takes the overview's height plus 42 pixels, through its
  // outer/inner ratio, never above the maximised height.
  const double outer_before = form_->OuterHeight();
  const double inner_before = form_->InnerHeight();
  // The dialog offers the last choice first.
  Choose(photo_);
  const double expected_outer =
      std::min((form_->Picture1->Height() + 42.0) * outer_before / inner_before,
               static_cast<double>(form_->MaxHeight));
  EXPECT_EQ(form_->WindowState(), tk::Window::kStateNormal);
  EXPECT_NEAR(form_->OuterHeight(), expected_outer, form_->TwipsPerPixelY());
  ASSERT_EQ(dialogs_.initial_names.size(), 2u);
  EXPECT_EQ(dialogs_.initial_names[1], photo_);
}

TEST_F(FormPhoto, CancellingTheDialogChangesNothing) {
  dialogs_.open_result.reset();
  form_->Command1->click();
  EXPECT_TRUE(form_->PhotoPath().empty());
  EXPECT_FALSE(form_->Picture1->isVisible());
  EXPECT_EQ(form_->WindowState(), tk::Window::kStateMaximized);
}

TEST_F(FormPhoto, DraggedLineEndsInAScanWithLinesProfilesAndResults) {
  Choose(photo_);
  const int sets = clipboard_.sets;
  DrawSampleLine();
  EXPECT_FALSE(form_->Selecting);
  EXPECT_TRUE(form_->Line1[0]->Visible());
  EXPECT_TRUE(form_->Line1[1]->Visible());
  EXPECT_TRUE(form_->Line3[0]->Visible());
  EXPECT_TRUE(form_->Line3[1]->Visible());
  for (size_t i = 1; i <= 7; ++i) {
    EXPECT_TRUE(form_->Line2[i]->Visible()) << i;
    EXPECT_TRUE(form_->Line4[i]->Visible()) << i;
  }
  EXPECT_FALSE(form_->Line2[0]->Visible());
  EXPECT_FALSE(form_->Line2[8]->Visible());
  EXPECT_FALSE(form_->Line4[0]->Visible());

  // Each station found the conductor's upper edge (JPEG blur: 2 rows).
  const PhotoLine line = SampleScanLine(scene_);
  for (int i = 0; i < kStations; ++i) {
    const double x = line.x1 + (line.x2 - line.x1) * i / 8.0;
    const double edge = std::floor(ConductorTopRow(scene_, std::round(x) + 0.5)) - kCutTop;
    EXPECT_NEAR(form_->Session().WireY()[static_cast<size_t>(i)], edge, 2.0) << "station " << i;
  }

  // hi.dat beside the program: nine profiles of 202 values, then the drops.
  const std::string hi = folder_.PathOf("hi.dat");
  ASSERT_TRUE(std::filesystem::exists(hi));
  EXPECT_EQ(std::filesystem::file_size(hi), 7272u);

  // The sag of the full chord: span 40 m over the chord's horizontal extent.
  const double x0 = line.x1, x8 = line.x2, x4 = (x0 + x8) / 2;
  const double sag_pixels =
      ConductorTopRow(scene_, x4) - (ConductorTopRow(scene_, x0) + ConductorTopRow(scene_, x8)) / 2;
  const double expected_sag = 40.0 * sag_pixels / (x8 - x0);
  const std::string shown = form_->Label4[0]->Caption();
  ASSERT_FALSE(shown.empty());
  EXPECT_NEAR(std::atof(shown.c_str()), expected_sag, 40.0 * 2.5 / (x8 - x0));
  for (size_t i = 3; i <= 5; ++i)
    EXPECT_FALSE(form_->Label4[i]->Caption().empty()) << i;
  // A parabola-like conductor: the estimates agree, at least one is ticked.
  EXPECT_GE(form_->Check3[0]->Value() + form_->Check3[1]->Value() + form_->Check3[2]->Value(), 1);
  // The literal box-by-box preselection agrees with the core's play-out of it,
  // and the present tension is the mean of the ticked estimates.
  SagInputs inputs;
  inputs.WireY = form_->Session().WireY();
  inputs.ChordX1 = form_->Line3[1]->X1();
  inputs.ChordX2 = form_->Line3[1]->X2();
  const SagOutcome sag = ComputeSag(form_->Module1(), inputs);
  const std::array<int, 3> expected_ticks = PreselectEstimates(sag, {0, 0, 0});
  double sum = 0;
  int ticked = 0;
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(form_->Check3[i]->Value(), expected_ticks[i]) << i;
    if (expected_ticks[i] == 1) {
      sum += sag.TensionEst[i];
      ++ticked;
    }
  }
  ASSERT_GT(ticked, 0);
  EXPECT_NEAR(form_->Session().PresentTension(), sum / ticked, 1e-3 * sum / ticked);
  EXPECT_GT(clipboard_.sets, sets);
  EXPECT_NE(clipboard_.text.find("\r\n" + form_->Label4[2]->Caption() + "\r\n"), std::string::npos);
  EXPECT_EQ(clipboard_.text.find("nan"), std::string::npos);
}

// A press and release less than 3 px apart on either picture is a click (to
// focus the window, say): it draws nothing and keeps the line, every result
// and the clipboard, with or without precision tracing. From 3 px on it is a
// line and is scanned.
struct ClickCase {
  const char* name;
  bool working_view;           // on Picture2 (元画像表示) instead of the overview
  bool precision;              // precision tracing on
  std::vector<QPointF> moves;  // pointer moves with the button held, px from the press
  QPointF release;             // px from the press
  bool scans;
};

TEST_F(FormPhoto, AClickIsNotALine) {
  const std::vector<ClickCase> cases = {
      {"click in place", false, false, {}, {0, 0}, false},
      {"jitter under 3 px", false, false, {{1, 1}, {2, -1}}, {2, 2}, false},
      {"drag away and back", false, false, {{40, 10}, {80, 20}}, {1, 0}, false},
      {"click, precision tracing", false, true, {}, {0, 0}, false},
      {"click on the working image", true, false, {}, {0, 0}, false},
      {"3 px is a line", false, false, {{3, 0}}, {3, 0}, true},
  };
  Choose(photo_);
  // Before any line: a click shows nothing and scans nothing.
  const QPointF at = OverviewPixels(600, 300);
  Press(form_->Picture1, at, Qt::LeftButton);
  Release(form_->Picture1, at, Qt::LeftButton);
  EXPECT_FALSE(form_->Line1[0]->Visible());
  EXPECT_FALSE(form_->Line1[1]->Visible());
  EXPECT_FALSE(form_->Session().Scanned());
  EXPECT_FALSE(form_->Selecting);

  for (const ClickCase& c : cases) {
    SCOPED_TRACE(c.name);
    form_->SetPrecisionTracing(c.precision);
    DrawSampleLine();
    form_->Check2->SetValue(c.working_view ? 1 : 0);
    tk::PictureBox* picture = c.working_view ? form_->Picture2 : form_->Picture1;
    const tk::LineShape line = *form_->Line1[0];
    const std::optional<ScanLine> session_line = form_->Session().Line();
    std::vector<std::string> captions;
    for (tk::Label* label : form_->Label4)
      captions.push_back(label->Caption());
    const std::string copied = clipboard_.text;
    const int sets = clipboard_.sets;
    ASSERT_FALSE(copied.empty());

    const QPointF press(picture->width() / 3.0, picture->height() / 2.0);
    Press(picture, press, Qt::LeftButton);
    for (const QPointF& move : c.moves)
      Move(picture, press + move, Qt::LeftButton);
    Release(picture, press + c.release, Qt::LeftButton);

    EXPECT_FALSE(form_->Selecting);
    EXPECT_TRUE(dialogs_.messages.empty()) << dialogs_.messages.front();
    if (c.scans) {
      ASSERT_TRUE(form_->Session().Line().has_value());
      EXPECT_NE(form_->Session().Line()->X1, session_line->X1);
      EXPECT_NEAR(form_->Line1[0]->X2() - form_->Line1[0]->X1(), 3 / 1.004, 1e-4);
      continue;
    }
    EXPECT_EQ(form_->Line1[0]->Visible(), line.Visible());
    EXPECT_EQ(form_->Line1[0]->X1(), line.X1());
    EXPECT_EQ(form_->Line1[0]->Y1(), line.Y1());
    EXPECT_EQ(form_->Line1[0]->X2(), line.X2());
    EXPECT_EQ(form_->Line1[0]->Y2(), line.Y2());
    ASSERT_TRUE(form_->Session().Line().has_value());
    EXPECT_EQ(form_->Session().Line()->X1, session_line->X1);
    EXPECT_EQ(form_->Session().Line()->Y2, session_line->Y2);
    for (size_t i = 0; i < captions.size(); ++i)
      EXPECT_EQ(form_->Label4[i]->Caption(), captions[i]) << "Label4 " << i;
    EXPECT_EQ(clipboard_.text, copied);
    EXPECT_EQ(clipboard_.sets, sets);
    // A threshold typed afterwards still re-scans the line drawn before.
    form_->Text1->SetText("41");
    EXPECT_GT(clipboard_.sets, sets);
    form_->Text1->SetText("40");
  }
}

TEST_F(FormPhoto, ThresholdAndCriterionTraceAgainButNotANumber) {
  Choose(photo_);
  DrawSampleLine();
  const auto wire_y = form_->Session().WireY();
  const std::string sag = form_->Label4[0]->Caption();
  int sets = clipboard_.sets;
  form_->Text1->SetText("");  // half-typed: no scan, results stay, no message
  form_->Text1->SetText("abc");
  EXPECT_EQ(clipboard_.sets, sets);
  EXPECT_EQ(form_->Session().WireY(), wire_y);
  EXPECT_EQ(form_->Label4[0]->Caption(), sag);
  EXPECT_TRUE(dialogs_.messages.empty());
  // The labels shown belong to the last scan that ran: grey until the next.
  for (size_t i = 0; i < form_->Label4.size(); ++i)
    EXPECT_EQ(form_->Label4[i]->BackColor(), tk::kBgrLightGrey) << i;

  form_->Text1->SetText("40");
  EXPECT_GT(clipboard_.sets, sets);
  EXPECT_EQ(form_->Label4[0]->BackColor(), tk::kBgrYellow);
  EXPECT_EQ(form_->Label4[1]->BackColor(), tk::kBgrYellow);
  sets = clipboard_.sets;
  form_->Option1[1]->click();  // darkness: the point lies deeper in the conductor
  EXPECT_GT(clipboard_.sets, sets);
  for (size_t i = 0; i < wire_y.size(); ++i)
    EXPECT_GE(form_->Session().WireY()[i], wire_y[i]) << i;
}

TEST_F(FormPhoto, RatioTurnsRedAndAFailedEvaluationPutsItBackOnYellow) {
  Choose(photo_);
  form_->Combo1->SetListIndex(2);  // the weak conductor
  DrawSampleLine();
  const std::string ratio = form_->Label4[1]->Caption();
  ASSERT_FALSE(ratio.empty());
  EXPECT_GT(std::atoi(ratio.c_str()), 100);
  EXPECT_EQ(form_->Label4[1]->BackColor(), tk::kBgrRed);

  const std::string copied = clipboard_.text;
  form_->Combo1->SetListIndex(1);  // Area 0
  EXPECT_EQ(form_->Label4[1]->Caption(), "");
  EXPECT_EQ(form_->Label4[1]->BackColor(), tk::kBgrYellow);
  EXPECT_EQ(form_->Label8[0]->Caption(), "");
  EXPECT_EQ(form_->Label4[6]->Caption(), "");
  EXPECT_EQ(clipboard_.text, copied);
}

// The context menu's precision tracing: the fitted curve over both pictures,
// the sag from it on the clipboard, and off again exactly as before.
TEST_F(FormPhoto, PrecisionTracingDrawsTheCurveAndCopiesItsResult) {
  Choose(photo_);
  DrawSampleLine();
  const std::string scanned = clipboard_.text;
  ASSERT_FALSE(scanned.empty());
  const int sets = clipboard_.sets;
  form_->PrecisionAction->trigger();
  ASSERT_TRUE(form_->Session().Trace().has_value());
  EXPECT_TRUE(form_->Session().Trace()->credible) << form_->Session().Trace()->reason;
  EXPECT_TRUE(form_->Curve1[0]->Visible());
  EXPECT_TRUE(form_->Curve2[Form1::kCurveSegments - 1]->Visible());
  EXPECT_GT(clipboard_.sets, sets);
  EXPECT_EQ(clipboard_.text, form_->Session().ResultText());
  EXPECT_TRUE(dialogs_.messages.empty());
  form_->PrecisionAction->trigger();
  EXPECT_FALSE(form_->Curve1[0]->Visible());
  EXPECT_EQ(clipboard_.text, scanned);

  // A line too short to trace: the window says why, in Japanese.
  form_->PrecisionAction->trigger();
  DrawLine(600, 300, 620, 300);
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0],
            "精密トレースで信頼できる電線が見つかりません: "
            "引いた線が短すぎるか画像の外にあるため、線に沿って電線をトレースできません。");
}

// The context menu's lens correction on a photo that names no camera: the
// tick switches the session to EXIF correction, a message says it cannot
// correct and how to choose the camera, and the results stay as they were.
TEST_F(FormPhoto, LensCorrectionWithoutExifSaysSoAndKeepsTheResult) {
  Choose(photo_);
  DrawSampleLine();
  const std::string scanned = clipboard_.text;
  ASSERT_EQ(form_->LensAction->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_L));
  EXPECT_EQ(form_->CameraLensAction->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_K));
  form_->LensAction->trigger();
  EXPECT_EQ(form_->Session().Lens().mode, LensMode::Auto);
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_NE(dialogs_.messages[0].find("カメラ・レンズ…"), std::string::npos);
  EXPECT_NE(dialogs_.messages[0].find("写真の EXIF にカメラのメーカー・機種がありません"),
            std::string::npos)
      << dialogs_.messages[0];
  EXPECT_EQ(form_->Session().ResultText(), scanned);
  form_->LensAction->trigger();
  EXPECT_EQ(form_->Session().Lens().mode, LensMode::Off);
}

// The chart dialog follows the measurement; the report is written where the
// save dialog says.
TEST_F(FormPhoto, ChartDialogAndReportFromTheContextMenu) {
  Choose(photo_);
  DrawSampleLine();
  form_->ChartAction->trigger();
  ASSERT_NE(form_->Chart, nullptr);
  EXPECT_TRUE(form_->Chart->isVisible());
  ASSERT_TRUE(form_->Chart->chart().has_value());
  const double before = form_->Chart->chart()->present_tension_kgf;
  form_->Text2->SetText("50");  // a longer span: a new present tension
  ASSERT_TRUE(form_->Chart->chart().has_value());
  EXPECT_NE(form_->Chart->chart()->present_tension_kgf, before);

  dialogs_.save_result = folder_.PathOf("report.pdf");
  form_->ReportAction->trigger();
  EXPECT_TRUE(dialogs_.messages.empty()) << dialogs_.messages.front();
  const std::vector<uint8_t> pdf = ReadBytes(folder_.PathOf("report.pdf"));
  ASSERT_GT(pdf.size(), 1000u);
  EXPECT_EQ(std::string(pdf.begin(), pdf.begin() + 5), "%PDF-");
}

// What the window remembers from one session to the next, in the user's
// configuration folder (a temporary one here): the photo dialog's folder, the
// recent photos and measurements that the submenu 最近使った写真 opens, the
// report's and the measurements' folders.
TEST_F(FormPhoto, RemembersPlacesFromOneSessionToTheNext) {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  ASSERT_NE(config, nullptr);
  EXPECT_EQ(RecentFiles::SettingsPath(), std::string(config) + "/Sarn/sarn.conf");
  const TempFolder elsewhere;
  const std::string other = elsewhere.Write("other.jpg", RenderSpanJpeg(scene_));
  const std::string gone = elsewhere.Write("gone.jpg", RenderSpanJpeg(scene_));
  Choose(gone);
  Choose(other);
  Choose(photo_);
  Choose(other);  // listed once, first
  std::filesystem::remove(gone);
  EXPECT_EQ(RecentFiles::Photos(), (std::vector<std::string>{other, photo_}));
  DrawSampleLine();
  const TempFolder reports;
  dialogs_.save_result = reports.PathOf("first.pdf");
  form_->ReportAction->trigger();
  const TempFolder measurements;
  dialogs_.save_result = measurements.PathOf("first.sarn.json");
  form_->SaveMeasurementAction->trigger();
  ASSERT_TRUE(dialogs_.messages.empty()) << dialogs_.messages.front();
  const std::string copied = clipboard_.text;

  // A new session: the dialogs start where the last ones ended.
  form_.reset();
  Start(PhotoTable());
  dialogs_.open_result.reset();
  form_->Command1->click();
  EXPECT_EQ(dialogs_.initial_names.back(), elsewhere.path());
  dialogs_.open_file_result.reset();
  form_->OpenMeasurementAction->trigger();
  EXPECT_EQ(dialogs_.open_initial.back(), measurements.path());
  emit form_->RecentMenu->aboutToShow();
  const QList<QAction*> entries = form_->RecentMenu->actions();
  ASSERT_EQ(entries.size(), 4);  // two photos, a separator, the measurement
  EXPECT_EQ(entries[1]->data().toString().toStdString(), photo_);
  EXPECT_NE(entries[1]->text().indexOf(QStringLiteral("span.JPG")), -1);
  entries[1]->trigger();
  EXPECT_EQ(form_->PhotoPath(), photo_);
  dialogs_.save_result.reset();
  form_->ReportAction->trigger();
  EXPECT_EQ(dialogs_.save_suggested.back(), reports.PathOf("span-report.pdf"));
  DrawSampleLine();
  form_->SaveMeasurementAction->trigger();
  EXPECT_EQ(dialogs_.save_suggested.back(), measurements.PathOf("span.sarn.json"));
  EXPECT_EQ(entries[3]->data().toString().toStdString(), measurements.PathOf("first.sarn.json"));
  clipboard_.text.clear();
  entries[3]->trigger();
  EXPECT_TRUE(dialogs_.messages.empty()) << dialogs_.messages.front();
  EXPECT_EQ(clipboard_.text, copied);
}

// 測定を保存… and 測定を開く…: a measurement saved with inputs, a mode and a
// tick of the user's own opens again, in a window that has since changed,
// with every input, the line and the same results and clipboard text.
TEST_F(FormPhoto, SavedMeasurementOpensAgainWithItsInputsAndResults) {
  Choose(photo_);
  DrawSampleLine();
  form_->Text2->SetText("45");
  form_->Check6[1]->SetValue(1);  // height correction, with its height
  form_->Text4[1]->SetText("12");
  form_->Option1[1]->SetValue(true);  // 黒さ
  form_->Text1->SetText("30");
  form_->PrecisionAction->trigger();
  form_->Check3[0]->SetValue(1 - form_->Check3[0]->Value());  // the user's own tick
  ASSERT_TRUE(dialogs_.messages.empty()) << dialogs_.messages.front();
  const std::string copied = clipboard_.text;
  std::vector<std::string> captions;
  for (tk::Label* label : form_->Label4)
    captions.push_back(label->Caption());
  const std::array<int, 3> ticks = form_->Session().Ticks();

  dialogs_.save_result = folder_.PathOf("span");  // the suffix is added
  form_->SaveMeasurementAction->trigger();
  ASSERT_TRUE(dialogs_.messages.empty()) << dialogs_.messages.front();
  ASSERT_TRUE(std::filesystem::exists(folder_.PathOf("span.sarn.json")));

  form_->PrecisionAction->trigger();
  form_->Text2->SetText("40");
  form_->Check6[1]->SetValue(0);
  form_->Option1[0]->SetValue(true);
  Choose(photo_);  // the line is gone
  ASSERT_FALSE(form_->Line1[0]->Visible());
  clipboard_.text.clear();

  dialogs_.open_file_result = folder_.PathOf("span.sarn.json");
  form_->OpenMeasurementAction->trigger();
  EXPECT_TRUE(dialogs_.messages.empty()) << dialogs_.messages.front();
  EXPECT_EQ(clipboard_.text, copied);
  for (size_t i = 0; i < captions.size(); ++i)
    EXPECT_EQ(form_->Label4[i]->Caption(), captions[i]) << "Label4(" << i << ")";
  EXPECT_EQ(form_->Text2->Text(), "45");
  EXPECT_EQ(form_->Text4[1]->Text(), "12");
  EXPECT_TRUE(form_->Text4[1]->isEnabled());
  EXPECT_EQ(form_->Check6[1]->Value(), 1);
  EXPECT_TRUE(form_->Option1[1]->Value());
  EXPECT_EQ(form_->Text1->Text(), "30");
  EXPECT_TRUE(form_->PrecisionAction->isChecked());
  EXPECT_TRUE(form_->Curve1[0]->Visible());
  for (size_t i = 0; i < 3; ++i)
    EXPECT_EQ(form_->Check3[i]->Value(), ticks[i]) << "Check3(" << i << ")";
  EXPECT_TRUE(form_->Line1[0]->Visible());
  // In overview units of the window as it is now (its width changed with the
  // photo's fit), the session's line.
  ASSERT_TRUE(form_->Session().Line().has_value());
  EXPECT_FLOAT_EQ(form_->Line1[0]->X2(), form_->Session().Line()->X2);
  // The restored line is the window's own: a threshold typed now scans along it.
  const int evaluations = form_->Session().EvaluationCount();
  form_->Text1->SetText("31");
  EXPECT_GT(form_->Session().EvaluationCount(), evaluations);
}

// A file that cannot be used is refused in Japanese and changes nothing; a
// photo changed since is measured and said to differ.
TEST_F(FormPhoto, MeasurementFileThatCannotBeUsedChangesNothing) {
  Choose(photo_);
  DrawSampleLine();
  const std::string good = folder_.PathOf("good.sarn.json");
  ASSERT_TRUE(form_->SaveMeasurementTo(good));
  const std::vector<uint8_t> bytes = ReadBytes(good);
  const std::string text(bytes.begin(), bytes.end());
  auto replaced = [&text](const std::string& from, const std::string& to) {
    std::string changed = text;
    changed.replace(changed.find(from), from.size(), to);
    return changed;
  };
  std::filesystem::create_directories(folder_.PathOf("moved"));
  const std::pair<std::string, std::string> files[] = {
      {folder_.Write("broken.sarn.json", text.substr(0, 100)), "測定ファイルが壊れています"},
      {folder_.Write("foreign.sarn.json", std::string_view("{\"files\": []}")),
       "Sarn の測定ファイルではありません"},
      {folder_.Write("newer.sarn.json", replaced("\"version\": 1,", "\"version\": 2,")),
       "新しい Sarn で保存された測定です"},
      {folder_.Write("moved/m.sarn.json", text), "測定の写真を読めません"},
      {folder_.Write("wire.sarn.json", replaced("WORKED-A", "UNKNOWN")), "電線データにありません"},
  };
  form_->Text2->SetText("50");  // shown results that differ from the file's
  const std::string copied = clipboard_.text;
  const std::string tension = form_->Label4[2]->Caption();
  const qint64 overview = form_->Picture1->Picture().cacheKey();
  for (const auto& [path, said] : files) {
    dialogs_.messages.clear();
    EXPECT_FALSE(form_->OpenMeasurementFile(path)) << path;
    ASSERT_EQ(dialogs_.messages.size(), 1u) << path;
    EXPECT_NE(dialogs_.messages[0].find(said), std::string::npos) << dialogs_.messages[0];
    EXPECT_EQ(clipboard_.text, copied) << path;
    EXPECT_EQ(form_->Label4[2]->Caption(), tension) << path;
    EXPECT_EQ(form_->Text2->Text(), "50") << path;
    EXPECT_EQ(form_->Picture1->Picture().cacheKey(), overview) << path;
    EXPECT_EQ(form_->PhotoPath(), photo_) << path;
  }

  SpanScene other = scene_;
  other.sag *= 1.5;
  folder_.Write("span.JPG", RenderSpanJpeg(other));
  dialogs_.messages.clear();
  EXPECT_TRUE(form_->OpenMeasurementFile(good));
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_NE(dialogs_.messages[0].find("写真が保存時と異なります"), std::string::npos)
      << dialogs_.messages[0];
  EXPECT_NE(dialogs_.messages[0].find("保存時と結果が異なります:\n  現在弛度: 保存時 "),
            std::string::npos)
      << dialogs_.messages[0];
  EXPECT_EQ(form_->Text2->Text(), "40");
}

TEST_F(FormPhoto, RightDragMovesTheOverviewVerticallyOnly) {
  Choose(photo_);
  Press(form_->Picture1, QPointF(100, 50), Qt::RightButton);
  EXPECT_EQ(form_->Picture1->MousePointer(), 15);
  Move(form_->Picture1, QPointF(130, 70), Qt::RightButton);
  EXPECT_EQ(form_->Picture1->Top(), 20.0f);
  EXPECT_EQ(form_->Picture1->Left(), 0.0f);
  // The box moved with the pointer: the pointer is back at the grab point.
  Release(form_->Picture1, QPointF(130, 50), Qt::RightButton);
  EXPECT_EQ(form_->Picture1->Top(), 20.0f);
  EXPECT_EQ(form_->Picture1->y(), 20);
  EXPECT_EQ(form_->Picture1->MousePointer(), 0);
  EXPECT_FALSE(form_->Line1[0]->Visible());  // no line drawn
  // Loading puts the overview back at the top.
  Choose(photo_);
  EXPECT_EQ(form_->Picture1->Top(), 0.0f);
}

TEST_F(FormPhoto, RightDragPansTheWorkingImageBothWays) {
  Choose(photo_);
  form_->Check2->click();
  EXPECT_TRUE(form_->Picture2->isVisible());
  EXPECT_FALSE(form_->Picture1->isVisible());
  Press(form_->Picture2, QPointF(10, 10), Qt::RightButton);
  Move(form_->Picture2, QPointF(25, 40), Qt::RightButton);
  EXPECT_EQ(form_->Picture2->Left(), 15.0f);
  EXPECT_EQ(form_->Picture2->Top(), 30.0f);
  Move(form_->Picture2, QPointF(50, 50), Qt::RightButton | Qt::LeftButton);  // 3: no pan
  Release(form_->Picture2, QPointF(10, 10), Qt::RightButton);
  EXPECT_EQ(form_->Picture2->Left(), 15.0f);
  EXPECT_EQ(form_->Picture2->Top(), 30.0f);
  EXPECT_EQ(form_->Picture2->MousePointer(), 0);
  // A left drag does nothing.
  Press(form_->Picture2, QPointF(10, 10), Qt::LeftButton);
  Move(form_->Picture2, QPointF(60, 60), Qt::LeftButton);
  Release(form_->Picture2, QPointF(60, 60), Qt::LeftButton);
  EXPECT_EQ(form_->Picture2->Left(), 15.0f);
  EXPECT_FALSE(form_->Selecting);
  // The pan stays across a load, which shows the overview again.
  Choose(photo_);
  EXPECT_EQ(form_->Check2->Value(), 0);
  EXPECT_EQ(form_->Picture2->Left(), 15.0f);
  EXPECT_TRUE(form_->Picture1->isVisible());
}

TEST_F(FormPhoto, Check2AndCheck4BeforeAnyPhoto) {
  form_->Check2->click();
  EXPECT_TRUE(form_->Picture2->isVisible());
  form_->Check2->click();
  EXPECT_FALSE(form_->Picture2->isVisible());
  EXPECT_TRUE(form_->Picture1->isVisible());
  form_->Check4->click();  // no photo: only the box changes
  EXPECT_EQ(form_->Check4->Value(), 0);
  EXPECT_TRUE(form_->Picture1->Picture().isNull());
}

TEST_F(FormPhoto, Check4ReloadsAndCheck5LocksTheLimit) {
  Choose(photo_);
  DrawSampleLine();
  form_->Check4->click();  // no cut: case A
  EXPECT_EQ(form_->Picture2->Picture().height(), kPhotoHeight);
  EXPECT_FALSE(form_->Line1[0]->Visible());
  EXPECT_FALSE(form_->Line1[1]->Visible());
  EXPECT_FALSE(form_->Line4[4]->Visible());

  form_->Check5->click();
  EXPECT_TRUE(form_->Text5->isEnabled());
  form_->Text5->SetText("1000");
  form_->Check4->click();  // cut and limit 1000: case D
  EXPECT_EQ(form_->Text5->Text(), "1000");
  EXPECT_EQ(form_->Picture2->Picture().width(), 1000);
  EXPECT_EQ(form_->Picture2->Picture().height(), 375);  // round(900 * 1000/1200 / 2)
  form_->Check5->click();
  EXPECT_FALSE(form_->Text5->isEnabled());
  EXPECT_EQ(form_->Text5->Text(), "1000");
  form_->Check4->click();
  form_->Check4->click();  // checked again with Check5: the default limit returns
  EXPECT_EQ(form_->Text5->Text(), "5000");
  EXPECT_EQ(form_->Picture2->Picture().width(), kPhotoWidth);
}

TEST_F(FormPhoto, FileWithoutAnImageIsReportedAndLeavesEverythingAsItWas) {
  Choose(photo_);
  const QImage overview = form_->Picture1->Picture();
  const std::string broken = folder_.Write("broken.jpg", std::string_view("not a photo at all"));
  Choose(broken);
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].rfind("エラーコード=", 0), 0u) << dialogs_.messages[0];
  EXPECT_GT(dialogs_.messages[0].size(), std::string("エラーコード=").size());
  EXPECT_EQ(dialogs_.end_program_calls, 0);
  EXPECT_TRUE(dialogs_.questions.empty());
  EXPECT_EQ(form_->PhotoPath(), photo_);
  EXPECT_EQ(form_->Text5->Text(), "5000");
  EXPECT_EQ(form_->Check5->Value(), 1);
  EXPECT_TRUE(form_->Picture1->isVisible());
  EXPECT_EQ(form_->Picture1->Picture().cacheKey(), overview.cacheKey());
}

TEST_F(FormPhoto, FailureWithoutAdjustmentAsksAndYesAdjustsUntilTheEnd) {
  form_->Check5->click();
  form_->Text5->SetText("0");  // an empty working image fails on every attempt
  dialogs_.answers = {true};
  Choose(photo_);
  ASSERT_EQ(dialogs_.questions.size(), 1u);
  EXPECT_EQ(
      dialogs_.questions[0],
      "画像読み込み時にエラーが発生しました。サイズの自動調節を有効にして再チャレンジしますか?");
  EXPECT_EQ(form_->Check5->Value(), 1);
  EXPECT_FALSE(form_->Text5->isEnabled());
  EXPECT_EQ(form_->Text5->Text(), "-500");
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  const std::string prefix = "画面サイズを修正してもエラーが発生するため終了します。エラーコード=";
  EXPECT_EQ(dialogs_.messages[0].rfind(prefix, 0), 0u) << dialogs_.messages[0];
  EXPECT_GT(dialogs_.messages[0].size(), prefix.size());
  EXPECT_EQ(dialogs_.end_program_calls, 1);
}

TEST_F(FormPhoto, FailureWithoutAdjustmentAndNoEndsWithTheCode) {
  form_->Check5->click();
  form_->Text5->SetText("0");
  dialogs_.answers = {false};
  Choose(photo_);
  ASSERT_EQ(dialogs_.questions.size(), 1u);
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].rfind("エラーコード=", 0), 0u) << dialogs_.messages[0];
  EXPECT_EQ(dialogs_.end_program_calls, 1);
  EXPECT_EQ(form_->Check5->Value(), 0);
  // The question and the message wait with the ordinary pointer.
  EXPECT_EQ(dialogs_.busy_at_prompt, (std::vector<bool>{false, false}));
}

TEST_F(FormPhoto, OtherImageFormatsLoadThroughTheFallbackDecoder) {
  QImage image(800, 600, QImage::Format_RGB32);
  image.fill(QColor(200, 210, 230));
  const std::string png = folder_.PathOf("span.png");
  ASSERT_TRUE(image.save(QString::fromStdString(png), "PNG"));
  Choose(png);
  EXPECT_TRUE(dialogs_.messages.empty());
  EXPECT_EQ(form_->PhotoPath(), png);
  EXPECT_EQ(form_->Picture2->Picture().width(), 800);
  EXPECT_EQ(form_->Picture2->Picture().height(), 300);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);  // busy pointer gone
  // The working image holds the photo's colours (0xFFRRGGBB).
  EXPECT_EQ(form_->Picture2->Picture().pixelColor(400, 150), QColor(200, 210, 230));
}

}  // namespace
}  // namespace sarn::test
