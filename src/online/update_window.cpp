#include "online/update_window.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStyle>
#include <QVBoxLayout>

#include "ui/project_addresses.h"
#include "ui/link_line.h"

namespace qv {

namespace {

CLinkLine* linkLine(const QString& text, const QString& target, QWidget* parent)
{
    auto* line = new CLinkLine(text, target, parent);
    line->setTransparent(true);
    return line;
}

}  // namespace

CUpdateWindow::CUpdateWindow(const QString& releaseText, bool critical, const QStringList& changes,
                             QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Aktualizacja"));

    auto* group = new QGroupBox(QStringLiteral("Dostępna nowa wersja"), this);
    auto* icon = new QLabel(group);
    icon->setObjectName(QStringLiteral("icon"));
    const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()
                        ->standardIcon(critical ? QStyle::SP_MessageBoxWarning : QStyle::SP_MessageBoxInformation,
                                       nullptr, this)
                        .pixmap(iconSize, iconSize));
    auto* heading = new QLabel(critical ? QStringLiteral("*** Aktualizacja krytyczna! *** ") + releaseText
                                        : releaseText,
                               group);
    heading->setObjectName(QStringLiteral("heading"));
    // The release text comes from the server: shown as it stands, never as markup.
    heading->setTextFormat(Qt::PlainText);
    QFont bold = heading->font();
    bold.setWeight(QFont::Bold);
    heading->setFont(bold);
    heading->setWordWrap(true);

    auto* headingRow = new QHBoxLayout;
    headingRow->addWidget(icon, 0, Qt::AlignTop);
    headingRow->addWidget(heading, 1);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addLayout(headingRow);
    const QString download = QStringLiteral("Kliknij tutaj aby pobrać najnowszą wersję");
    const QString project = QStringLiteral("Kliknij tutaj aby odwiedzić stronę projektu Quorvelin");
    groupLayout->addWidget(linkLine(download, downloadPage(), group), 0, Qt::AlignLeft);
    groupLayout->addWidget(linkLine(project, projectPage(), group), 0, Qt::AlignLeft);

    auto* changeList = new QPlainTextEdit(this);
    changeList->setObjectName(QStringLiteral("changes"));
    changeList->setReadOnly(true);
    changeList->setLineWrapMode(QPlainTextEdit::NoWrap);
    changeList->setPlainText(changes.join(u'\n'));
    changeList->moveCursor(QTextCursor::Start);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(new QLabel(QStringLiteral("Zmiany:"), this));
    layout->addWidget(changeList, 1);
    layout->addWidget(buttons);
    resize(460, 410);
}

}  // namespace qv
