#include "app/chart_dialog.h"

#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QMessageBox>
#include <QPushButton>
#include <QScatterSeries>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "app/chart_plot.h"
#include "app/recent_files.h"
#include "tension/chart_axes.h"
#include "tension/stringing_chart_text.h"

#include "state/failure.h"
#include "state/file_access.h"

namespace sarn {
namespace {

const QColor kOverAllowableColour(255, 0, 0);  // as the ratio label above 100 %

QString QText(const std::string& text) {
  return QString::fromStdString(text);
}

class QtChartSaveDialogs : public ChartSaveDialogs {
 public:
  explicit QtChartSaveDialogs(QWidget* parent) : parent_(parent) {}
  std::optional<std::string> SaveFileName(const std::string& caption,
                                          const std::string& suggested_name,
                                          const std::string& filter) override {
    // A bare name is offered in the folder the chart was last saved to. Qt's
    // own dialog, as every dialog of the window (in Japanese).
    QString suggested = QText(suggested_name);
    const std::string folder = RecentFiles::LastFolder(RecentFiles::Dialog::Chart);
    if (!folder.empty() && !suggested.contains(QLatin1Char('/')))
      suggested = QDir(QText(folder)).filePath(suggested);
    const QString path =
        QFileDialog::getSaveFileName(parent_, QText(caption), suggested, QText(filter), nullptr,
                                     QFileDialog::DontUseNativeDialog);
    if (path.isEmpty())
      return std::nullopt;
    RecentFiles::SetLastFolderOf(RecentFiles::Dialog::Chart, path.toStdString());
    return path.toStdString();
  }
  void ShowError(const std::string& message) override {
    QMessageBox::warning(parent_, QStringLiteral("Sarn"), QText(message));
  }

 private:
  QWidget* parent_;
};

// Empties the plot: its series and its axes.
void RemoveSeriesAndAxes(QChart* plot) {
  plot->removeAllSeries();
  for (QAbstractAxis* axis : plot->axes()) {
    plot->removeAxis(axis);
    delete axis;
  }
}

// A value axis spanning `axis`, with its ticks and labels.
QValueAxis* AxisOf(const ChartAxis& axis, const QString& title) {
  auto* value_axis = new QValueAxis;
  value_axis->setTitleText(title);
  value_axis->setRange(axis.low, axis.high);
  value_axis->setTickType(QValueAxis::TicksDynamic);
  value_axis->setTickAnchor(axis.low);
  value_axis->setTickInterval(axis.step);
  value_axis->setLabelFormat(QStringLiteral("%.%1f").arg(axis.decimals));
  return value_axis;
}

QTableWidgetItem* Cell(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  return item;
}

QTableWidget* MakeTable(QWidget* parent, const QStringList& headings, const char* name) {
  auto* table = new QTableWidget(0, static_cast<int>(headings.size()), parent);
  table->setObjectName(QString::fromUtf8(name));
  table->setHorizontalHeaderLabels(headings);
  table->verticalHeader()->setVisible(false);
  table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  return table;
}

}  // namespace

std::unique_ptr<ChartSaveDialogs> MakeQtChartSaveDialogs(QWidget* parent) {
  return std::make_unique<QtChartSaveDialogs>(parent);
}

ChartDialog::ChartDialog(QWidget* parent, std::function<void(const std::string&)> copy_text,
                         std::unique_ptr<ChartSaveDialogs> dialogs)
    : QDialog(parent), copy_text_(std::move(copy_text)), dialogs_(std::move(dialogs)) {
  if (!dialogs_)
    dialogs_ = MakeQtChartSaveDialogs(this);
  setWindowTitle(QStringLiteral("張力・弛度表"));
  setModal(false);

  summary_ = new QLabel(this);
  summary_->setObjectName(QStringLiteral("summary"));
  summary_->setWordWrap(true);

  plot_ = new QChart;
  plot_->legend()->setAlignment(Qt::AlignBottom);
  plot_->setMargins(QMargins(4, 4, 4, 4));
  plot_view_ = new QChartView(plot_, this);  // takes ownership of plot_
  plot_view_->setObjectName(QStringLiteral("plot"));
  plot_view_->setRenderHint(QPainter::Antialiasing);
  plot_view_->setMinimumSize(520, 380);

  temperatures_ = MakeTable(
      this, {QStringLiteral("温度 (℃)"), QStringLiteral("張力 (kgf)"), QStringLiteral("弛度 (m)")},
      "temperatures");
  conditions_ =
      MakeTable(this,
                {QStringLiteral("荷重条件"), QStringLiteral("温度\n(℃)"), QStringLiteral("荷重比"),
                 QStringLiteral("張力\n(kgf)"), QStringLiteral("許容張力比\n(%)")},
                "conditions");
  conditions_->setFixedHeight(conditions_->horizontalHeader()->sizeHint().height() +
                              3 * conditions_->verticalHeader()->defaultSectionSize() + 4);

  copy_button_ = new QPushButton(QStringLiteral("表をコピー"), this);
  csv_button_ = new QPushButton(QStringLiteral("CSV保存…"), this);
  png_button_ = new QPushButton(QStringLiteral("PNG保存…"), this);
  auto* close_button = new QPushButton(QStringLiteral("閉じる"), this);
  connect(copy_button_, &QPushButton::clicked, this, [this] { CopyTable(); });
  connect(csv_button_, &QPushButton::clicked, this, [this] { SaveCsv(); });
  connect(png_button_, &QPushButton::clicked, this, [this] { SavePng(); });
  connect(close_button, &QPushButton::clicked, this, &QDialog::close);

  auto* tables = new QVBoxLayout;
  tables->addWidget(temperatures_, 1);
  tables->addWidget(new QLabel(QStringLiteral("設計荷重条件での張力"), this));
  tables->addWidget(conditions_);
  auto* middle = new QHBoxLayout;
  middle->addWidget(plot_view_, 3);
  middle->addLayout(tables, 2);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(copy_button_);
  buttons->addWidget(csv_button_);
  buttons->addWidget(png_button_);
  buttons->addStretch(1);
  buttons->addWidget(close_button);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(summary_);
  layout->addLayout(middle, 1);
  layout->addLayout(buttons);
  resize(1000, 600);
  Clear(Failure(MessageId::kWindowChartNoMeasurement));
}

ChartDialog::~ChartDialog() = default;

void ChartDialog::Show(const StringingChartResult& chart, const ChartMarks& marks) {
  Update(chart, marks);
  show();
  raise();
  activateWindow();
}

void ChartDialog::Update(const StringingChartResult& result, const ChartMarks& marks) {
  if (!result.ok()) {
    Clear(result.failure());
    return;
  }
  chart_ = *result;
  const StringingChartTexts texts = ChartTexts(*chart_, kNoSolutionText);
  summary_->setText(
      QStringLiteral("電線 %1　径間 %2 m　撮影時気温 %3 ℃　現在張力 %4 kgf　現在弛度 %5 m　"
                     "許容張力 %6 kgf")
          .arg(QText(texts.wire_name), QText(texts.span), QText(texts.air_temp),
               QText(texts.present_tension), QText(texts.present_sag),
               QText(texts.allowable_tension)));
  FillPlot(*chart_, marks);
  FillTables(texts);
  for (QPushButton* b : {copy_button_, csv_button_, png_button_})
    b->setEnabled(true);
}

void ChartDialog::Clear(const Failure& why) {
  chart_.reset();
  summary_->setText(QText(Failure(MessageId::kWindowChartCannotMake, {why}).Japanese()));
  RemoveSeriesAndAxes(plot_);
  temperatures_->setRowCount(0);
  conditions_->setRowCount(0);
  for (QPushButton* b : {copy_button_, csv_button_, png_button_})
    b->setEnabled(false);
}

void ChartDialog::FillPlot(const StringingChart& chart, const ChartMarks& marks) {
  RemoveSeriesAndAxes(plot_);

  auto* tension = new QLineSeries;
  tension->setName(QStringLiteral("張力 (kgf)"));
  tension->setPen(QPen(kTensionColour, 2));
  auto* sag = new QLineSeries;
  sag->setName(QStringLiteral("弛度 (m)"));
  sag->setPen(QPen(kSagColour, 2));
  for (const ChartRow& row : chart.rows) {
    if (!row.tension_kgf || !row.sag_m)
      continue;  // no solution: no point
    tension->append(row.temperature_c, *row.tension_kgf);
    sag->append(row.temperature_c, *row.sag_m);
  }
  std::optional<double> specified_sag = marks.specified_sag_m;
  if (specified_sag && !std::isfinite(*specified_sag))
    specified_sag.reset();
  const ChartAxes axes = ChartAxesOf(chart, specified_sag);
  auto* present_tension = new QScatterSeries;
  present_tension->setName(QStringLiteral("現在張力"));
  present_tension->setColor(kTensionColour);
  present_tension->setMarkerSize(11);
  present_tension->append(chart.air_temp_c, chart.present_tension_kgf);
  auto* present_sag = new QScatterSeries;
  present_sag->setName(QStringLiteral("現在弛度"));
  present_sag->setColor(kSagColour);
  present_sag->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
  present_sag->setMarkerSize(10);
  present_sag->append(chart.air_temp_c, chart.present_sag_m);

  QLineSeries* specified = nullptr;
  if (specified_sag) {
    specified = new QLineSeries;
    specified->setName(
        QStringLiteral("規定弛度 %1 m").arg(QText(SpecifiedSagText(*specified_sag))));
    specified->setPen(QPen(kSagColour, 1.5, Qt::DashLine));
    specified->append(axes.temperature.low, *specified_sag);
    specified->append(axes.temperature.high, *specified_sag);
  }

  QValueAxis* x_axis = AxisOf(axes.temperature, QStringLiteral("温度 (℃)"));
  QValueAxis* tension_axis = AxisOf(axes.tension, QStringLiteral("張力 (kgf)"));
  tension_axis->setTitleBrush(kTensionColour);
  tension_axis->setLabelsColor(kTensionColour);
  QValueAxis* sag_axis = AxisOf(axes.sag, QStringLiteral("弛度 (m)"));
  sag_axis->setTitleBrush(kSagColour);
  sag_axis->setLabelsColor(kSagColour);

  plot_->addAxis(x_axis, Qt::AlignBottom);
  plot_->addAxis(tension_axis, Qt::AlignLeft);
  plot_->addAxis(sag_axis, Qt::AlignRight);
  const std::pair<QXYSeries*, QValueAxis*> series[] = {{tension, tension_axis},
                                                       {sag, sag_axis},
                                                       {specified, sag_axis},
                                                       {present_tension, tension_axis},
                                                       {present_sag, sag_axis}};
  for (const auto& [line, axis] : series) {
    if (line == nullptr)
      continue;
    plot_->addSeries(line);
    line->attachAxis(x_axis);
    line->attachAxis(axis);
  }
}

void ChartDialog::FillTables(const StringingChartTexts& texts) {
  temperatures_->setRowCount(static_cast<int>(texts.rows.size()));
  for (int i = 0; i < static_cast<int>(texts.rows.size()); ++i) {
    const ChartRowTexts& row = texts.rows[static_cast<size_t>(i)];
    temperatures_->setItem(i, 0, Cell(QText(row.temperature)));
    temperatures_->setItem(i, 1, Cell(QText(row.tension)));
    temperatures_->setItem(i, 2, Cell(QText(row.sag)));
  }
  conditions_->setRowCount(static_cast<int>(texts.conditions.size()));
  for (int i = 0; i < static_cast<int>(texts.conditions.size()); ++i) {
    const ChartConditionTexts& condition = texts.conditions[static_cast<size_t>(i)];
    QTableWidgetItem* name = Cell(QText(condition.caption));
    name->setTextAlignment(Qt::AlignCenter);
    conditions_->setItem(i, 0, name);
    conditions_->setItem(i, 1, Cell(QText(condition.temperature)));
    conditions_->setItem(i, 2, Cell(QText(condition.load_ratio)));
    conditions_->setItem(i, 3, Cell(QText(condition.tension)));
    QTableWidgetItem* percent = Cell(QText(condition.percent_of_allowable));
    if (condition.over_allowable)
      percent->setBackground(kOverAllowableColour);
    conditions_->setItem(i, 4, percent);
  }
}
void ChartDialog::CopyTable() {
  if (chart_ && copy_text_)
    copy_text_(StringingChartTable(*chart_));
}

bool ChartDialog::SaveFile(const std::string& caption, const std::string& suggested_name,
                           const std::string& filter,
                           const std::function<bool(QByteArray* bytes)>& encode) {
  if (!chart_)
    return false;
  const std::optional<std::string> path = dialogs_->SaveFileName(caption, suggested_name, filter);
  if (!path)
    return false;
  QByteArray bytes;
  if (!encode(&bytes)) {
    const Failure why(MessageId::kReportCannotEncodePng, {*path});
    dialogs_->ShowError(Failure(MessageId::kWindowCannotSaveFile, {why}).Japanese());
    return false;
  }
  // Every file is replaced whole through the program's one writer; its
  // failure names the path.
  if (Result<void> written =
          ReplaceFileWithBytes(*path, std::string_view(bytes.constData(), bytes.size()));
      !written) {
    dialogs_->ShowError(Failure(MessageId::kWindowCannotSaveFile, {written.failure()}).Japanese());
    return false;
  }
  return true;
}

bool ChartDialog::SaveCsv() {
  return SaveFile("CSVで保存", "張力・弛度表.csv", "CSV (*.csv)", [this](QByteArray* bytes) {
    *bytes = QByteArray::fromStdString(StringingChartCsv(*chart_));
    return true;
  });
}

bool ChartDialog::SavePng() {
  return SaveFile("PNGで保存", "張力・弛度表.png", "PNG (*.png)", [this](QByteArray* bytes) {
    QBuffer buffer(bytes);
    return buffer.open(QIODevice::WriteOnly) && PlotImage().save(&buffer, "PNG");
  });
}

QImage ChartDialog::PlotImage() const {
  return plot_view_->grab().toImage();
}

}  // namespace sarn
