#pragma once

// Form1, the program's one window: the picture area (Picture1, the overview;
// Picture2, the working image) and the bottom panel Frame1 with every input
// and result. It is a face of the measurement session: each handler hands
// the control's new value to the session, and the window shows what the
// session reports. A value changed by code raises the control's handler at
// once; a box the session sets hands the session the value it already has.
//
// The controls are public, as on any form: the handlers and the tests address
// them by their names. The window (Qt's parent) owns every control; the
// pointers here only name them.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include <QAction>
#include <QMenu>

#include "app/chart_dialog.h"
#include "session/measurement_session.h"
#include "state/measurement_state.h"
#include "state/wire_table.h"
#include "toolkit/busy_cursor.h"
#include "toolkit/button.h"
#include "toolkit/check_box.h"
#include "toolkit/clipboard.h"
#include "toolkit/combo_box.h"
#include "toolkit/dialogs.h"
#include "toolkit/group_frame.h"
#include "toolkit/label.h"
#include "toolkit/line_shape.h"
#include "toolkit/option_button.h"
#include "toolkit/panel.h"
#include "toolkit/picture_box.h"
#include "toolkit/text_box.h"
#include "toolkit/window.h"

namespace sarn {

struct SavedMeasurement;

class Form1 : public tk::Window, private SessionEvents, private LoadQuestions {
 public:
  // The caption before the padding and after it (the padding grows with the
  // window's width so that the second part sits towards the right).
  static constexpr const char* kCaptionStart = "Sarn(2012/12/21)";
  static constexpr const char* kCaptionEnd = "by Orvath";
  static constexpr int kPanelNarrow = 1004;  // Frame1 width, pixels
  static constexpr int kPanelWide = 1140;    // uncovers the Check6 column (1028..1133)

  // `program_folder`: where hi.dat is written.
  Form1(tk::Dialogs& dialogs, tk::Clipboard& clipboard, std::string program_folder);
  ~Form1() override;
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  // --- start-up and layout -------------------------------------------------
  // Start-up with the conductor data already read (start-up reads SetDT.dat
  // first and never opens the window with a partly read table).
  void Form_Load(const WireData& wires);
  void Form_Resize();

  // --- handlers ------------------------------------------------------------
  void Text2_Change();
  void Text3_Change();
  void Combo1_Click();
  void Command1_Click();
  void Check1_Click(int index);
  void Check2_Click();
  void Check3_Click(int index);
  void Check4_Click();
  void Check5_Click();
  void Check6_Click(int index);
  void Text1_Change();
  void Text4_Change(int index);
  void Text6_Change(int index);
  void Option1_Click(int index);
  void Label7_Click(int index);
  void Frame1_DblClick();
  void Frame1_DragOver();
  void Picture1_MouseDown(int button, int shift, float x, float y);
  void Picture1_MouseMove(int button, int shift, float x, float y);
  void Picture1_MouseUp(int button, int shift, float x, float y);
  void Picture2_MouseDown(int button, int shift, float x, float y);
  void Picture2_MouseMove(int button, int shift, float x, float y);
  void Picture2_MouseUp(int button, int shift, float x, float y);

  // --- operations ----------------------------------------------------------
  // Loads `path` as if it had been chosen with Command1 (`sarn PHOTO.jpg`).
  void OpenPhoto(const std::string& path);
  // False when the photo could not be shown (reported; the window is left as
  // it was, or the program was ended).
  bool LoadPhoto();
  void CopyResults() { session_.CopyResults(); }

  // --- beyond the panel: the bottom panel's context menu -------------------
  // 精密追跡 (Ctrl+P): precision tracing on or off, kept for the session.
  void SetPrecisionTracing(bool on);
  // 張力・弛度表… (Ctrl+T): the stringing chart, following each measurement.
  void ShowChart();
  // 報告書を保存… (Ctrl+S): the measurement report as PDF.
  void SaveReport();
  // 最近使った写真: the photos opened last, newest first, then the
  // measurements saved or opened last; filled each time the menu opens, from
  // RecentFiles.
  QMenu* RecentMenu = nullptr;
  // レンズ補正 (Ctrl+L): lens correction on (from the photo's EXIF, or the
  // camera and lens chosen below) or off, kept for the session.
  void SetLensCorrection(bool on);
  // カメラ・レンズ… (Ctrl+K): a camera and lens from the database, for photos
  // without EXIF; choosing one switches correction on.
  void ChooseCameraLens();
  QAction* PrecisionAction = nullptr;
  QAction* LensAction = nullptr;
  QAction* CameraLensAction = nullptr;
  QAction* ChartAction = nullptr;
  QAction* ReportAction = nullptr;
  // 測定を保存… (Ctrl+Shift+S): the measurement as NAME.sarn.json.
  void SaveMeasurement();
  bool SaveMeasurementTo(const std::string& path);
  // 測定を開く… (Ctrl+O): a saved measurement shown again, with what differs
  // from it said; a file that cannot be used changes nothing.
  void OpenMeasurement();
  bool OpenMeasurementFile(const std::string& path);
  QAction* SaveMeasurementAction = nullptr;
  QAction* OpenMeasurementAction = nullptr;
  ChartDialog* Chart = nullptr;  // owned by the window once shown

  MeasurementSession& Session() { return session_; }
  const MeasurementSession& Session() const { return session_; }
  const MeasurementState& Module1() const { return session_.State(); }
  const std::string& PhotoPath() const { return session_.PhotoPath(); }
  float ImgScale() const { return session_.ImgScale(); }

  // --- controls ------------------------------------------------------------
  tk::PictureBox* Picture1 = nullptr;
  tk::PictureBox* Picture2 = nullptr;
  tk::Panel* Frame1 = nullptr;
  tk::GroupFrame* Frame2 = nullptr;
  tk::Button* Command1 = nullptr;
  tk::Button* Command2 = nullptr;
  tk::ComboBox* Combo1 = nullptr;
  tk::TextBox* Text1 = nullptr;
  tk::TextBox* Text2 = nullptr;
  tk::TextBox* Text3 = nullptr;
  std::array<tk::TextBox*, 2> Text4{};
  tk::TextBox* Text5 = nullptr;
  std::array<tk::TextBox*, 2> Text6{};
  std::array<tk::CheckBox*, 3> Check1{};
  tk::CheckBox* Check2 = nullptr;
  std::array<tk::CheckBox*, 3> Check3{};
  tk::CheckBox* Check4 = nullptr;
  tk::CheckBox* Check5 = nullptr;
  std::array<tk::CheckBox*, 3> Check6{};
  std::array<tk::OptionButton*, 2> Option1{};
  tk::Label* Label0 = nullptr;
  std::array<tk::Label*, 2> Label2{};
  std::array<tk::Label*, 13> Label3{};  // Label3(4) does not exist
  std::array<tk::Label*, 7> Label4{};
  std::array<tk::Label*, 5> Label5{};  // Label5(1) does not exist
  std::array<tk::Label*, 2> Label6{};
  std::array<tk::Label*, 2> Label7{};
  std::array<tk::Label*, 2> Label8{};
  tk::Label* Label9 = nullptr;
  std::array<tk::Label*, 4> Label10{};
  std::array<tk::LineShape*, 4> Line1{};   // on Picture1
  std::array<tk::LineShape*, 10> Line2{};  // on Picture1
  std::array<tk::LineShape*, 2> Line3{};   // on Picture2
  std::array<tk::LineShape*, 9> Line4{};   // on Picture2
  // The traced conductor as a polyline over each picture (precision tracing).
  static constexpr int kCurveSegments = 48;
  std::array<tk::LineShape*, kCurveSegments> Curve1{};  // on Picture1
  std::array<tk::LineShape*, kCurveSegments> Curve2{};  // on Picture2

  // --- window-level values -------------------------------------------------
  int32_t SavedWidth = 0;  // twips
  int32_t MaxHeight = 0;   // twips, outer height recorded while maximised
  bool Selecting = false;
  int32_t DragX = 0, DragY = 0;
  // A press and release closer than this (window pixels) is a click, not a
  // line: it draws nothing and leaves the line and every result as they were.
  static constexpr double kClickSlopPixels = 3.0;

 private:
  void CreateControls();
  void CreatePanelControls();
  void CreateLines();
  void CreateContextMenu();
  void CreateRecentMenu();
  void FillRecentMenu();
  void CreateMeasurementActions();
  void ShowSavedInputs(const SavedMeasurement& saved, int16_t wire_index);
  // The distance and height boxes follow the correction boxes.
  void EnableCorrectionInputs();
  void ShowTrace();
  void CreateLensActions();
  // With correction off: once per photo, after the chain has run, says how
  // much correction would change the sag when it matters.
  void AdviseLensCorrection();
  void UpdateChart();
  void BindHandlers();
  // After a photo loads, the window's height follows the overview.
  void FitWindowToOverview();
  void HideGuideLines();
  bool LoadFrom(const std::string& path);
  void ShowLoadedPhoto();
  void ShowSettings(const LoadSettings& settings);
  // The value labels on yellow (the ratio on red above 100), or on grey while
  // the session says they belong to a scan that no longer matches the inputs.
  void ColourResultLabels();

  // What the session reports.
  void Scanned() override;
  void ScanSkipped() override;
  void SagComputed() override;
  void TickChanged(int index, int value) override;
  void WindClassChanged(int index, int value) override;
  void Evaluated() override;
  void ResultCopied(const std::string& text) override;
  void HiDatNotWritten(const Failure& why) override;
  void MeasurementFailed(const Failure& why) override;
  // The loading's questions, through the dialogs.
  bool AskRetry() override;
  void SettingsChanged(const LoadSettings& now) override;

  // The left-button drag on Picture1: where it was pressed (overview units),
  // whether it has left the click's slop, and the line shown before it (put
  // back when the release comes within the slop of the press).
  bool PressedWithinSlop(float x, float y) const;
  float press_x_ = 0, press_y_ = 0;
  bool line_begun_ = false;
  struct ShownLine {
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    bool visible = false;
  };
  ShownLine line_before_;

  tk::Dialogs& dialogs_;
  tk::Clipboard& clipboard_;
  // The measurement; it also holds the working image and the overview, which
  // the picture boxes show without a copy until the next load.
  MeasurementSession session_;
  std::string dialog_file_name_;       // the dialog offers the last choice first
  std::string measurement_file_name_;  // the measurement last saved or opened
  // The settings the shown photo was loaded at (Text5 may have been retyped since).
  std::optional<LoadSettings> loaded_settings_;
  std::optional<tk::BusyCursor> busy_;  // while a photo loads
  LensChoice manual_lens_;              // the camera and lens chosen in the dialog, if any
  std::string lens_advised_for_;        // the photo whose lens advice was shown
};

}  // namespace sarn
