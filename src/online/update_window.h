#pragma once

#include <QDialog>
#include <QStringList>

namespace qv {

// "Aktualizacja": announces a newer release with its list of changes and
// links to the download page and the project page. A critical release gets
// the warning icon and the heading "*** Aktualizacja krytyczna! ***".
class CUpdateWindow : public QDialog {
public:
    CUpdateWindow(const QString& releaseText, bool critical, const QStringList& changes,
                  QWidget* parent = nullptr);
};

}  // namespace qv
