#pragma once

class QWidget;

namespace qf {

// "About Quillfern": program icon, title, version, legal line and a usage notice; any button or a
// left click anywhere closes it.
void ShowAbout(QWidget* parent, bool fade);

}  // namespace qf
