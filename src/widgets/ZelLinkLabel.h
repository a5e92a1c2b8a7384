#pragma once
// A label that opens its address when clicked (or activated with Enter or
// Space when focused): the link colour, underlined under the mouse, a hand
// cursor, and the link role for the desktop's accessibility interface.

#include <QLabel>

class TzelLinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit TzelLinkLabel(QWidget* parent = nullptr);
    void SetUrl(const QString& url) { FUrl = url; }
    QString Url() const { return FUrl; }
    // Opens the address through the common runtime.
    void Activate();

Q_SIGNALS:
    void Activated(const QString& url);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void SetUnderline(bool on);
    QString FUrl;
};
