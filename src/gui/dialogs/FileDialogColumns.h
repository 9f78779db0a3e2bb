#pragma once

class QFileDialog;

namespace km::gui {

// Lets the detail view of a widget file dialog give the name column the spare width
// and the size, type and date columns the width their texts need.
void FitFileColumns(QFileDialog* dialog);

}  // namespace km::gui
