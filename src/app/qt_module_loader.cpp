#include "app/qt_module_loader.h"

#include <dlfcn.h>

#include <cstdlib>
#include <iostream>

namespace sarn {
namespace {

[[noreturn]] void CannotLoad(const std::string& path, const std::string& why) {
  std::cout.flush();
  std::cerr << "sarn: cannot load " << path
            << " (the window, the report writers and photos other than JPEG need it): " << why
            << '\n';
  std::exit(kExitBadInput);
}

const QtModuleTable* Load(const std::string& folder) {
  const std::string path = folder + "/" + kQtModuleFile;
  // Never unloaded: Qt keeps threads and handlers of its own until the end.
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr)
    CannotLoad(path, ::dlerror());
  auto entry = reinterpret_cast<QtModuleEntry>(::dlsym(handle, kQtModuleEntry));
  if (entry == nullptr)
    CannotLoad(path, ::dlerror());
  const QtModuleTable* table = entry();
  if (table == nullptr || table->version != kQtModuleVersion ||
      table->size != sizeof(QtModuleTable))
    CannotLoad(path, "the module is version " +
                         std::to_string(table != nullptr ? table->version : 0) +
                         ", this program needs version " + std::to_string(kQtModuleVersion));
  return table;
}

}  // namespace

const QtModuleTable& QtModule(const std::string& folder) {
  static const QtModuleTable* const table = Load(folder);
  return *table;
}

void UseQtModule(CliContext& context, const std::string& folder) {
  context.fallback_decoder = [folder](const std::vector<uint8_t>& bytes, int needed_width) {
    return QtModule(folder).decode_image(bytes, needed_width);
  };
  context.write_report = [folder](const ReportContent& content, const ReportImages& images,
                                  const std::string& path) {
    return QtModule(folder).write_report(content, images, path);
  };
  context.write_annotated = [folder](const Raster& working, const ReportOverlay& overlay,
                                     const std::string& path) {
    return QtModule(folder).write_annotated(working, overlay, path);
  };
}

}  // namespace sarn
