// The station's window as an operator sees it on four simulated slots, rendered to a PNG file.
#pragma once

#include <QString>

#include <optional>

namespace tools {

// Runs the line on simulated modules until it shows a passed, a failed and a waiting slot, then
// saves the window to `path`: why it could not, or nothing.
std::optional<QString> RenderStation(const QString& path);

} // namespace tools
