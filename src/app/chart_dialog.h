#pragma once

// The dialog "張力・弛度表" (sag-tension table): the stringing chart of the
// present measurement as a plot of tension and sag against temperature (the
// present point and the specified sag marked), the table of temperatures and
// the design-condition rows, with buttons to copy the table, save it as CSV
// and save the plot as PNG. It is not modal; Update() replaces what it shows,
// so that it follows the measurement.

#include <QByteArray>
#include <QDialog>
#include <QImage>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "tension/stringing_chart.h"
#include "tension/stringing_chart_text.h"

class QChart;
class QChartView;
class QLabel;
class QPushButton;
class QTableWidget;

namespace sarn {

// The save dialogs and the failure message of the chart dialog, behind an
// interface so that tests can answer them.
class ChartSaveDialogs {
 public:
  virtual ~ChartSaveDialogs() = default;
  // The file to write, or nullopt when cancelled. `filter` as Qt writes it,
  // e.g. "CSV (*.csv)"; `suggested_name` is offered first.
  virtual std::optional<std::string> SaveFileName(const std::string& caption,
                                                  const std::string& suggested_name,
                                                  const std::string& filter) = 0;
  // A file that could not be written, in a message box.
  virtual void ShowError(const std::string& message) = 0;
};

// QFileDialog and QMessageBox over `parent`.
std::unique_ptr<ChartSaveDialogs> MakeQtChartSaveDialogs(QWidget* parent);

// What the plot marks besides the chart itself.
struct ChartMarks {
  // The specified sag of the governing tension (m), a horizontal line on the
  // sag axis; none when the evaluation did not reach it.
  std::optional<double> specified_sag_m;
};

class ChartDialog : public QDialog {
 public:
  // `copy_text` puts plain text on the clipboard; `dialogs` answers the save
  // buttons (the Qt dialogs when null).
  ChartDialog(QWidget* parent, std::function<void(const std::string&)> copy_text,
              std::unique_ptr<ChartSaveDialogs> dialogs = nullptr);
  ~ChartDialog() override;

  // Fills the dialog and shows it, raised, without blocking.
  void Show(const StringingChartResult& chart, const ChartMarks& marks = {});
  // Fills the dialog and leaves it shown or hidden as it is. A chart that
  // could not be made empties the plot and the tables, disables the buttons
  // and says why, so that no earlier chart is shown as current.
  void Update(const StringingChartResult& chart, const ChartMarks& marks = {});

  // The buttons' actions. The saves return false when cancelled or failed (a
  // failure is also shown through ShowError); an existing file is replaced
  // whole, never left half written.
  void CopyTable();
  bool SaveCsv();
  bool SavePng();

  // The plot as shown, as an image.
  QImage PlotImage() const;
  // The chart shown, if any.
  const std::optional<StringingChart>& chart() const { return chart_; }

 private:
  void FillPlot(const StringingChart& chart, const ChartMarks& marks);
  void FillTables(const StringingChartTexts& texts);
  void Clear(const Failure& why);
  // Asks for the file and writes what `encode` makes of the chart (false
  // when it cannot); a failure is shown through ShowError.
  bool SaveFile(const std::string& caption, const std::string& suggested_name,
                const std::string& filter, const std::function<bool(QByteArray* bytes)>& encode);

  std::function<void(const std::string&)> copy_text_;
  std::unique_ptr<ChartSaveDialogs> dialogs_;
  std::optional<StringingChart> chart_;

  QLabel* summary_ = nullptr;
  QChart* plot_ = nullptr;  // owned by plot_view_
  QChartView* plot_view_ = nullptr;
  QTableWidget* temperatures_ = nullptr;
  QTableWidget* conditions_ = nullptr;
  QPushButton* copy_button_ = nullptr;
  QPushButton* csv_button_ = nullptr;
  QPushButton* png_button_ = nullptr;
};

}  // namespace sarn
