#include "ui/send_progress_dialog.h"

#include <QDialogButtonBox>
#include <QVBoxLayout>
#include <algorithm>

#include "messages/send_progress_text.h"

namespace kelvane {

SendProgressDialog::SendProgressDialog(QWidget* parent)
    : QDialog(parent),
      status_(new QLabel(this)),
      bar_(new QProgressBar(this)),
      cancel_(new QPushButton(tr("Cancel"), this)) {
    setObjectName(QStringLiteral("SendProgress"));
    setWindowTitle(tr("Sending SysEx"));
    setModal(true);
    status_->setWordWrap(true);
    bar_->setRange(0, 1000);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(cancel_, QDialogButtonBox::RejectRole);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status_);
    layout->addWidget(bar_);
    layout->addWidget(buttons);
    connect(cancel_, &QPushButton::clicked, this, &SendProgressDialog::reject);
    resize(std::max(sizeHint().width(), 360), sizeHint().height());
}

void SendProgressDialog::ShowProgress(const midi::SendProgress& progress) {
    const QString leaving = LeavingText(progress);
    status_->setText(leaving.isEmpty() ? SendProgressText(progress)
                                       : SendProgressText(progress) + u'\n' + leaving);
    const double done = progress.totalBytes > 0 ? static_cast<double>(progress.sentBytes) /
                                                      static_cast<double>(progress.totalBytes)
                                                : 0;
    bar_->setValue(static_cast<int>(done * 1000));
    cancel_->setEnabled(!progress.cancelled);
}

// Escape and the window's close button cancel as the button does; the dialog stays while a
// message going out is finished.
void SendProgressDialog::reject() { emit CancelPressed(); }

}  // namespace kelvane
