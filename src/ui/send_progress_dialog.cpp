#include "ui/send_progress_dialog.h"

#include <QDialogButtonBox>
#include <QVBoxLayout>
#include <algorithm>

#include "messages/send_progress_text.h"

namespace kelvane {

SendProgressDialog::SendProgressDialog(QWidget* parent)
    : QDialog(parent),
      warning_(new QLabel(this)),
      status_(new QLabel(this)),
      bar_(new QProgressBar(this)),
      send_(new QPushButton(tr("Send"), this)),
      cancel_(new QPushButton(tr("Cancel"), this)) {
    setObjectName(QStringLiteral("SendProgress"));
    setWindowTitle(tr("Sending SysEx"));
    setModal(true);
    warning_->setWordWrap(true);
    warning_->hide();
    send_->hide();
    bar_->setRange(0, 1000);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(send_, QDialogButtonBox::AcceptRole);
    buttons->addButton(cancel_, QDialogButtonBox::RejectRole);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(warning_);
    layout->addWidget(status_);
    layout->addWidget(bar_);
    layout->addWidget(buttons);
    connect(send_, &QPushButton::clicked, this, [this] {
        send_->hide();
        cancel_->setDefault(true);
        emit SendPressed();
    });
    connect(cancel_, &QPushButton::clicked, this, &SendProgressDialog::reject);
    resize(std::max(sizeHint().width(), 360), sizeHint().height());
}

void SendProgressDialog::ShowWarning(const QString& text) {
    warning_->setText(text);
    warning_->show();
    send_->show();
    send_->setDefault(true);
}

void SendProgressDialog::ShowProgress(const midi::SendProgress& progress) {
    status_->setText(SendProgressText(progress));
    const double done = progress.totalBytes > 0 ? static_cast<double>(progress.sentBytes) /
                                                      static_cast<double>(progress.totalBytes)
                                                : 0;
    bar_->setValue(static_cast<int>(done * 1000));
}

// Escape and the window's close button cancel as the button does.
void SendProgressDialog::reject() {
    emit CancelPressed();
    QDialog::reject();
}

}  // namespace kelvane
