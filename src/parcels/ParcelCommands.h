#pragma once
// The parcel subsystem's commands: `parcel show SKU|ID` and
// `parcel memo print ID (--pdf FILE | --printer NAME)`.
#include "core/Cli.h"

namespace velmor {
CliRegistry parcelCommands();
// True for the commands that draw pages (they need the GUI application).
bool parcelCommandNeedsGui(const QStringList &args);
}
