#include "app/chart_dialog.h"

#include <QBuffer>
#include <QChart>
#include <QChartView>
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
#include "output/number_format.h"
#include "tension/stringing_chart_text.h"

#include "state/file_access.h"

namespace sarn {
namespace {

const QColor kOverAllowableColour(255, 0, 0);  // as the ratio label above 100 %

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

QString Value(const std::optional<double>& value, int decimals) {
  return value ? Q(FormatFixed(*value, decimals)) : QString::fromUtf8(kNoSolutionText);
}

class QtChartSaveDialogs : public ChartSaveDialogs {
 public:
  explicit QtChartSaveDialogs(QWidget* parent) : parent_(parent) {}
  std::optional<std::string> SaveFileName(const std::string& caption,
                                          const std::string& suggested_name,
                                          const std::string& filter) override {
    const QString path =
        QFileDialog::getSaveFileName(parent_, Q(caption), Q(suggested_name), Q(filter));
    if (path.isEmpty())
      return std::nullopt;
    return path.toStdString();
  }
  void ShowError(const std::string& message) override {
    QMessageBox::warning(parent_, QStringLiteral("Sarn"), Q(message));
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

// The range [low, high] widened by 8 % on each side (by 1 when it is a point).
std::pair<double, double> Padded(double low, double high) {
  const double pad = high > low ? (high - low) * 0.08 : std::max(1.0, std::fabs(high) * 0.1);
  return {low - pad, high + pad};
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
  Clear("まだ測定がありません");
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
    Clear(result.error);
    return;
  }
  chart_ = result.chart;
  const StringingChart& c = *chart_;
  summary_->setText(
      QStringLiteral("電線 %1　径間 %2 m　撮影時気温 %3 ℃　現在張力 %4 kgf　現在弛度 %5 m　"
                     "許容張力 %6 kgf")
          .arg(Q(c.wire_name), Q(FormatFixed(c.span_m, 2)), Q(FormatFixed(c.air_temp_c, 1)),
               Q(FormatFixed(c.present_tension_kgf, 1)), Q(FormatFixed(c.present_sag_m, 3)),
               Q(FormatFixed(c.allowable_tension_kgf, 1))));
  FillPlot(c, marks);
  FillTables(c);
  for (QPushButton* b : {copy_button_, csv_button_, png_button_})
    b->setEnabled(true);
}

void ChartDialog::Clear(const std::string& why) {
  chart_.reset();
  summary_->setText(QStringLiteral("張力・弛度表を作成できません（%1）").arg(Q(why)));
  RemoveSeriesAndAxes(plot_);
  temperatures_->setRowCount(0);
  conditions_->setRowCount(0);
  for (QPushButton* b : {copy_button_, csv_button_, png_button_})
    b->setEnabled(false);
}

void ChartDialog::FillPlot(const StringingChart& c, const ChartMarks& marks) {
  RemoveSeriesAndAxes(plot_);

  auto* tension = new QLineSeries;
  tension->setName(QStringLiteral("張力 (kgf)"));
  tension->setPen(QPen(kTensionColour, 2));
  auto* sag = new QLineSeries;
  sag->setName(QStringLiteral("弛度 (m)"));
  sag->setPen(QPen(kSagColour, 2));
  for (const ChartRow& row : c.rows) {
    if (!row.tension_kgf || !row.sag_m)
      continue;  // no solution: no point
    tension->append(row.temperature_c, *row.tension_kgf);
    sag->append(row.temperature_c, *row.sag_m);
  }
  const ChartExtent extent = ExtentOf(c, marks.specified_sag_m);
  double t_low = extent.t_low, t_high = extent.t_high;
  if (!(t_high > t_low)) {  // one temperature: a range around it
    t_low -= 1;
    t_high += 1;
  }
  auto* present_tension = new QScatterSeries;
  present_tension->setName(QStringLiteral("現在張力"));
  present_tension->setColor(kTensionColour);
  present_tension->setMarkerSize(11);
  present_tension->append(c.air_temp_c, c.present_tension_kgf);
  auto* present_sag = new QScatterSeries;
  present_sag->setName(QStringLiteral("現在弛度"));
  present_sag->setColor(kSagColour);
  present_sag->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
  present_sag->setMarkerSize(10);
  present_sag->append(c.air_temp_c, c.present_sag_m);

  QLineSeries* specified = nullptr;
  if (marks.specified_sag_m && std::isfinite(*marks.specified_sag_m)) {
    specified = new QLineSeries;
    specified->setName(
        QStringLiteral("規定弛度 %1 m").arg(Q(FormatFixed(*marks.specified_sag_m, 2))));
    specified->setPen(QPen(kSagColour, 1.5, Qt::DashLine));
    specified->append(t_low, *marks.specified_sag_m);
    specified->append(t_high, *marks.specified_sag_m);
  }

  auto* x_axis = new QValueAxis;
  x_axis->setTitleText(QStringLiteral("温度 (℃)"));
  x_axis->setRange(t_low, t_high);
  // Ticks at multiples of 1, 2 or 5 times a power of ten, at most about
  // eight across whatever the range.
  const double raw = (t_high - t_low) / 8;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  double interval = 10 * power;
  for (double m : {1.0, 2.0, 5.0}) {
    if (m * power >= raw) {
      interval = m * power;
      break;
    }
  }
  x_axis->setTickType(QValueAxis::TicksDynamic);
  x_axis->setTickAnchor(0);
  x_axis->setTickInterval(interval);
  const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(interval))));
  x_axis->setLabelFormat(QStringLiteral("%.%1f").arg(decimals));
  auto* tension_axis = new QValueAxis;
  tension_axis->setTitleText(QStringLiteral("張力 (kgf)"));
  tension_axis->setTitleBrush(kTensionColour);
  tension_axis->setLabelsColor(kTensionColour);
  const auto [tl, th] = Padded(extent.tension_low, extent.tension_high);
  tension_axis->setRange(tl, th);
  tension_axis->applyNiceNumbers();
  auto* sag_axis = new QValueAxis;
  sag_axis->setTitleText(QStringLiteral("弛度 (m)"));
  sag_axis->setTitleBrush(kSagColour);
  sag_axis->setLabelsColor(kSagColour);
  const auto [sl, sh] = Padded(extent.sag_low, extent.sag_high);
  sag_axis->setRange(std::max(0.0, sl), sh);
  sag_axis->applyNiceNumbers();
  sag_axis->setLabelFormat(QStringLiteral("%.3f"));
  tension_axis->setLabelFormat(QStringLiteral("%.0f"));

  plot_->addAxis(x_axis, Qt::AlignBottom);
  plot_->addAxis(tension_axis, Qt::AlignLeft);
  plot_->addAxis(sag_axis, Qt::AlignRight);
  const std::pair<QXYSeries*, QValueAxis*> series[] = {{tension, tension_axis},
                                                       {sag, sag_axis},
                                                       {specified, sag_axis},
                                                       {present_tension, tension_axis},
                                                       {present_sag, sag_axis}};
  for (const auto& [s, axis] : series) {
    if (s == nullptr)
      continue;
    plot_->addSeries(s);
    s->attachAxis(x_axis);
    s->attachAxis(axis);
  }
}

void ChartDialog::FillTables(const StringingChart& c) {
  const int td = TemperatureDecimals(c);
  temperatures_->setRowCount(static_cast<int>(c.rows.size()));
  for (int i = 0; i < static_cast<int>(c.rows.size()); ++i) {
    const ChartRow& row = c.rows[static_cast<size_t>(i)];
    temperatures_->setItem(i, 0, Cell(Q(FormatFixed(row.temperature_c, td))));
    temperatures_->setItem(i, 1, Cell(Value(row.tension_kgf, 1)));
    temperatures_->setItem(i, 2, Cell(Value(row.sag_m, 3)));
  }
  conditions_->setRowCount(static_cast<int>(c.conditions.size()));
  for (int i = 0; i < static_cast<int>(c.conditions.size()); ++i) {
    const ChartCondition& cond = c.conditions[static_cast<size_t>(i)];
    QTableWidgetItem* name = Cell(Q(LoadClassCaption(cond.load_class)));
    name->setTextAlignment(Qt::AlignCenter);
    conditions_->setItem(i, 0, name);
    conditions_->setItem(i, 1, Cell(Q(FormatFixed(cond.temperature_c, td))));
    conditions_->setItem(i, 2, Cell(Q(FormatFixed(cond.load_ratio, 3))));
    conditions_->setItem(i, 3, Cell(Value(cond.tension_kgf, 1)));
    QTableWidgetItem* percent = Cell(Value(cond.percent_of_allowable, 1));
    if (cond.percent_of_allowable && *cond.percent_of_allowable > 100.0)
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
                           const std::function<bool(QByteArray* bytes, std::string* why)>& encode) {
  if (!chart_)
    return false;
  const std::optional<std::string> path = dialogs_->SaveFileName(caption, suggested_name, filter);
  if (!path)
    return false;
  QByteArray bytes;
  std::string why;
  if (!encode(&bytes, &why)) {
    dialogs_->ShowError("ファイルを保存できません: " + *path + "\n" + why);
    return false;
  }
  // Every file is replaced whole through the program's one writer; its
  // failure names the path.
  if (Result<void> written =
          ReplaceFileWithBytes(*path, std::string_view(bytes.constData(), bytes.size()));
      !written) {
    dialogs_->ShowError("ファイルを保存できません\n" + written.failure().Japanese());
    return false;
  }
  return true;
}

bool ChartDialog::SaveCsv() {
  return SaveFile("CSVで保存", "張力・弛度表.csv", "CSV (*.csv)",
                  [this](QByteArray* bytes, std::string*) {
                    *bytes = QByteArray::fromStdString(StringingChartCsv(*chart_));
                    return true;
                  });
}

bool ChartDialog::SavePng() {
  return SaveFile("PNGで保存", "張力・弛度表.png", "PNG (*.png)",
                  [this](QByteArray* bytes, std::string* why) {
                    QBuffer buffer(bytes);
                    if (buffer.open(QIODevice::WriteOnly) && PlotImage().save(&buffer, "PNG"))
                      return true;
                    *why = "PNG encoding failed";
                    return false;
                  });
}

QImage ChartDialog::PlotImage() const {
  return plot_view_->grab().toImage();
}

}  // namespace sarn
