#pragma once

// The places the window remembers from one session to the next: the last
// folder of each file dialog, and the photos and measurements opened last,
// newest first. They are kept with QSettings in the user's configuration
// folder, $XDG_CONFIG_HOME/Sarn/sarn.conf (~/.config/Sarn/sarn.conf when
// XDG_CONFIG_HOME is not set). A file that cannot be read or written only
// means that nothing is remembered.

#include <string>
#include <vector>

namespace sarn {

class RecentFiles {
 public:
  // QSettings' organisation and application: the file's folder and name.
  static constexpr const char* kOrganization = "Sarn";
  static constexpr const char* kApplication = "sarn";
  // Entries kept in each list.
  static constexpr int kMaxEntries = 10;

  // The dialogs whose folder is remembered.
  enum class Dialog { Photo, Report, Measurement, Chart };

  // The folder the dialog was last used in, or "" when none is known (or it
  // no longer exists).
  static std::string LastFolder(Dialog dialog);
  // Remembers the folder of `file` (a file chosen in the dialog).
  static void SetLastFolderOf(Dialog dialog, const std::string& file);

  // A photo loaded / a measurement saved or opened: put first in its list
  // (once, by absolute path), and its folder becomes the dialog's last.
  static void AddPhoto(const std::string& path);
  static void AddMeasurement(const std::string& path);
  // The lists, newest first, without files that no longer exist.
  static std::vector<std::string> Photos();
  static std::vector<std::string> Measurements();

  // The settings file (for messages and tests).
  static std::string SettingsPath();
};

}  // namespace sarn
