#pragma once

#include <QObject>

class QComboBox;

namespace quillon {

// The port box holds at most this many characters: a longer text names no port anyway.
inline constexpr int kPortTextMaxLength = 64;

// Tells the operator's choice of an entry in the port box from typed text. A choice in the open
// list, or a step through the entries with the arrow keys, Home, End or the wheel on the closed
// box, is a pick. Typed text that equals an entry's name is not, even when Enter, Tab or a click
// elsewhere confirms it: the box itself reports that case as activated too.
class PortPicker : public QObject
{
    Q_OBJECT
public:
    // Gives the box a text field of its own, with no completer and the length limit.
    explicit PortPicker(QComboBox &box, QObject *parent = nullptr);

signals:
    void picked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onActivated();

    QComboBox &box_;
    // Set while the text field reports that typed text was confirmed.
    bool confirmingText_ = false;
};

} // namespace quillon
