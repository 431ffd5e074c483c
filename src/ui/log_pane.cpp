#include "ui/log_pane.h"

#include <QApplication>
#include <QEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QStringDecoder>

#include <algorithm>
#include "core/text.h"

namespace sv::ui {

LogPane::LogPane(QPlainTextEdit* pane, std::string initialText)
    : pane_(pane), text_(std::move(initialText)) {
    painted_ = false;
    paint();
}

void LogPane::show(const std::string& text) {
    text_ = text;
    painted_ = false;
    if (!running_ || !sincePaint_.isValid() || sincePaint_.elapsed() >= kRepaintIntervalMs) {
        paint();
    }
}

void LogPane::beginOperation() {
    running_ = true;
    sincePaint_.invalidate();
}

void LogPane::endOperation() {
    running_ = false;
    if (!painted_) {
        paint();
    }
    if (!bar_.isNull()) {
        bar_->hide();
    }
}

void LogPane::setProgressBar(QProgressBar* bar) {
    bar_ = bar;
    if (!bar_.isNull()) {
        bar_->hide();
    }
}

void LogPane::progress(int track, int trackTotal, std::string_view sector) {
    if (bar_.isNull() || !running_) {
        return;
    }
    bar_->setRange(0, std::max(trackTotal, 1));
    bar_->setFormat(QStringLiteral("Track %1 of %2, %3")
                        .arg(track)
                        .arg(trackTotal)
                        .arg(QString::fromLatin1(sector.data(), static_cast<qsizetype>(sector.size()))));
    bar_->setValue(std::clamp(track, 0, std::max(trackTotal, 1)));
    if (bar_->isHidden()) {
        bar_->show();
    }
}

void LogPane::paint() {
    painted_ = true;
    sincePaint_.start();
    ++paintCount_;
    if (pane_.isNull()) {
        return;
    }
    // Paths arrive as UTF-8, but comments and titles read off a disk are single bytes: a text
    // that is not valid UTF-8 is shown as Latin-1 rather than with replacement marks.
    // The log's lines end in CR LF; the pane wants plain line feeds.
    const std::string lines = unixLines(text_);
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString shown = utf8(QByteArrayView(lines.data(), static_cast<qsizetype>(lines.size())));
    if (utf8.hasError()) {
        shown = QString::fromStdString(latin1ToUtf8(lines));
    }
    pane_->setPlainText(shown);
    pane_->verticalScrollBar()->setValue(pane_->verticalScrollBar()->maximum());
    if (running_) {
        // The operation holds the one thread; let the window paint and stay alive meanwhile.
        // User input reaching it now is swallowed by the InputBlocker.
        pane_->repaint();
        if (!bar_.isNull() && bar_->isVisible()) {
            bar_->repaint();
        }
        QApplication::processEvents();
    }
}

InputBlocker::InputBlocker() { QApplication::instance()->installEventFilter(this); }

InputBlocker::~InputBlocker() { QApplication::instance()->removeEventFilter(this); }

bool InputBlocker::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    case QEvent::Close:
        event->ignore();
        return true;
    default:
        return QObject::eventFilter(watched, event);
    }
}

}  // namespace sv::ui
