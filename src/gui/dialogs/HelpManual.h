#pragma once

// Where the user manual is and the address of one of its topics.

#include <QString>
#include <QUrl>

namespace km::gui {

// The manual's contents page: share/doc/kilnmark/index.html beside the folder of the
// running program (the installed layout, which the build tree repeats); empty when it
// is not there.
QString ManualPath();

// The manual at the anchor of `topic` ("topic-<n>"), or its contents page for topic 0;
// an empty URL when the manual cannot be found.
QUrl HelpTopicUrl(int topic);

}  // namespace km::gui
