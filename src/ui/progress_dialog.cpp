#include "ui/progress_dialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "text/string_table.h"
#include "ui/engine_session.h"
#include "ui/status_texts.h"

namespace qv::ui {

namespace {

constexpr int kTickMs = 300;

// A processing run (waited for before its result is saved) shows its status line.
QString captionFor(StatusCode code, int percent)
{
    const char* pattern = code == StatusCode::Loading     ? text::k143
                          : code == StatusCode::Preparing ? text::k116
                          : code == StatusCode::Saving    ? text::k139
                                                          : nullptr;
    return QString::fromStdString(pattern ? withPercent(pattern, percent) : statusLine(code, percent));
}

}  // namespace

CProgressDialog::CProgressDialog(EngineSession& session, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), session_(session)
{
    setModal(true);
    setMinimumWidth(440);
    auto* layout = new QVBoxLayout(this);
    text_ = new QLabel;
    text_->setTextFormat(Qt::PlainText);
    text_->setWordWrap(true);
    bar_ = new QProgressBar;
    bar_->setRange(0, 100);
    auto* abort = new QPushButton(QStringLiteral("Przerwij"));
    // Only a deliberate press aborts: Enter does nothing here, Escape aborts.
    abort->setAutoDefault(false);
    connect(abort, &QPushButton::clicked, this, &QDialog::reject);
    layout->addWidget(text_);
    layout->addWidget(bar_);
    layout->addWidget(abort, 0, Qt::AlignRight);

    timer_.setInterval(kTickMs);
    connect(&timer_, &QTimer::timeout, this, &CProgressDialog::tick);
    timer_.start();
    tick();
}

void CProgressDialog::tick()
{
    const int percent = session_.percent();
    if (percent != shownPercent_) {
        shownPercent_ = percent;
        bar_->setValue(std::clamp(percent, 0, 100));
        setWindowTitle(captionFor(session_.statusCode(), percent));
    }
    if (std::string text = session_.context().statusText.get(); text != shownText_) {
        shownText_ = std::move(text);
        text_->setText(QString::fromStdString(shownText_));
    }
    if (!session_.workerRunning())
        accept();
}

}  // namespace qv::ui
