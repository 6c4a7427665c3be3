#pragma once

#include <QPointer>
#include <QPushButton>
#include <algorithm>
#include <vector>

namespace kelvane {

// The buttons that Return presses: when more than one is default, the one made default most
// recently wins, as Qt's own default button does not (it keeps one per dialog).
class DefaultButtons {
public:
    void Set(QPushButton& button, bool isDefault) {
        button.setDefault(isDefault);
        std::erase_if(buttons_, [&button](const QPointer<QPushButton>& b) { return b == &button; });
        if (isDefault) {
            buttons_.emplace_back(&button);
        }
    }

    void Press() {
        std::erase_if(buttons_, [](const QPointer<QPushButton>& b) { return b.isNull(); });
        if (!buttons_.empty() && buttons_.back()->isEnabled()) {
            buttons_.back()->click();
        }
    }

private:
    std::vector<QPointer<QPushButton>> buttons_;  // the most recently made default last
};

}  // namespace kelvane
