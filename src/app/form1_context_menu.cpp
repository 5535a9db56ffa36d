// Form1 beyond its panel: the bottom panel's context menu with precision
// tracing, the stringing chart and the measurement report. None of it moves
// or resizes a control; with precision tracing off and the chart closed the
// window behaves as without them.

#include <QMenu>
#include <filesystem>

#include "app/form1.h"
#include "app/recent_files.h"
#include "app/report_writer.h"
#include "session/session_report.h"
#include "toolkit/bgr_color.h"

namespace sarn {
namespace {

// The chart's marks from the evaluation: the specified sag.
ChartMarks MarksOf(const MeasurementSession& session) {
  ChartMarks marks;
  marks.specified_sag_m = session.Tension().SpecifiedSag;
  return marks;
}

}  // namespace

void Form1::CreateContextMenu() {
  for (auto& segment : Curve1)
    segment = &Picture1->AddLine(tk::kBgrMagenta);
  for (auto& segment : Curve2)
    segment = &Picture2->AddLine(tk::kBgrMagenta);

  // Right button on the bottom panel; the shortcuts work anywhere in the
  // window.
  Frame1->setContextMenuPolicy(Qt::ActionsContextMenu);
  PrecisionAction = new QAction(QString::fromUtf8("精密追跡"), Frame1);
  PrecisionAction->setCheckable(true);
  PrecisionAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
  PrecisionAction->setShortcutContext(Qt::WindowShortcut);
  QObject::connect(PrecisionAction, &QAction::toggled,
                   [this](bool on) { SetPrecisionTracing(on); });
  ChartAction = new QAction(QString::fromUtf8("張力・弛度表…"), Frame1);
  ChartAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
  ChartAction->setShortcutContext(Qt::WindowShortcut);
  QObject::connect(ChartAction, &QAction::triggered, [this] { ShowChart(); });
  ReportAction = new QAction(QString::fromUtf8("報告書を保存…"), Frame1);
  ReportAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  ReportAction->setShortcutContext(Qt::WindowShortcut);
  QObject::connect(ReportAction, &QAction::triggered, [this] { SaveReport(); });
  CreateLensActions();
  for (QAction* action : {PrecisionAction, LensAction, CameraLensAction, ChartAction, ReportAction})
    Frame1->addAction(action);
  // The panel's children keep their own menus (a text box's edit menu).
}

void Form1::SetPrecisionTracing(bool on) {
  if (PrecisionAction->isChecked() != on)
    PrecisionAction->setChecked(on);  // raises this again through toggled
  session_.SetPrecision(on);
  ShowTrace();
}

// The fitted curve over both pictures while precision tracing is on and a
// scan has been traced; hidden otherwise.
void Form1::ShowTrace() {
  const auto& trace = session_.Trace();
  const bool shown = session_.Precision() && trace && trace->fitted && session_.Scanned() &&
                     trace->polyline.size() >= 2;
  const double scale = session_.ImgScale();
  for (int i = 0; i < kCurveSegments; ++i) {
    tk::LineShape* overview = Curve1[static_cast<size_t>(i)];
    tk::LineShape* working = Curve2[static_cast<size_t>(i)];
    if (!shown || scale == 0) {
      overview->SetVisible(false);
      working->SetVisible(false);
      continue;
    }
    const size_t last = trace->polyline.size() - 1;
    const CurvePoint& from = trace->polyline[last * static_cast<size_t>(i) / kCurveSegments];
    const CurvePoint& to = trace->polyline[last * static_cast<size_t>(i + 1) / kCurveSegments];
    working->SetEnds(from.x, from.y, to.x, to.y);
    overview->SetEnds(static_cast<float>(from.x / scale), static_cast<float>(from.y / scale),
                      static_cast<float>(to.x / scale), static_cast<float>(to.y / scale));
    working->SetVisible(true);
    overview->SetVisible(true);
  }
}

void Form1::MeasurementFailed(const Failure& why) {
  dialogs_.MessageOk(why.Japanese());
}

void Form1::ShowChart() {
  if (Chart == nullptr) {
    Chart = new ChartDialog(this, [this](const std::string& text) {
      clipboard_.Clear();
      clipboard_.SetText(text);
    });
  }
  Chart->Show(session_.Chart(), MarksOf(session_));
}

// The dialog follows the session: every evaluation renews what it shows.
void Form1::UpdateChart() {
  if (Chart == nullptr || !Chart->isVisible())
    return;
  Chart->Update(session_.Chart(), MarksOf(session_));
}

void Form1::SaveReport() {
  // PHOTO-report.pdf in the folder of the last report, else beside the photo.
  std::filesystem::path suggested = "report.pdf";
  if (!session_.PhotoPath().empty()) {
    std::filesystem::path photo(session_.PhotoPath());
    suggested = photo.parent_path() / (photo.stem().string() + "-report.pdf");
  }
  const std::string folder = RecentFiles::LastFolder(RecentFiles::Dialog::Report);
  if (!folder.empty())
    suggested = std::filesystem::path(folder) / suggested.filename();
  const std::optional<std::string> path =
      dialogs_.SaveFileName("報告書を保存", suggested.string(), "PDF (*.pdf)");
  if (!path)
    return;
  RecentFiles::SetLastFolderOf(RecentFiles::Dialog::Report, *path);
  const ReportContent content = BuildReportContent(session_, LocalTimeText(), SARN_VERSION);
  if (Result<void> written = WriteReportPdf(content, ReportImagesOf(session_.Photo()), *path);
      !written)
    dialogs_.MessageOk(Failure(MessageId::kWindowReportNotSaved, {written.failure()}).Japanese());
}

}  // namespace sarn
