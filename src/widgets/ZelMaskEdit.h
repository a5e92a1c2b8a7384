#pragma once
// Edits whose text follows a mask, as the forms describe them: the mask
// "99:99:99.999;1;_" has digit places ('9' a digit or nothing, '0' a digit
// that must be given), literals kept in the text, and '_' shown in empty
// places. Typing overwrites a place and skips the literals; Backspace and
// Delete empty a place. The text reports empty places as spaces, so an edit
// with every place empty has the text "  :  :  .   ".
//
// TzelTimeEdit is the time edit of the main window: hours, minutes, seconds
// and milliseconds, its time in microseconds, or "no time" when every place
// is empty.

#include <QLineEdit>
#include <cstdint>
#include <limits>

class TzelMaskEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(QString Text READ Text WRITE SetText USER true)
public:
    explicit TzelMaskEdit(QWidget* parent = nullptr);

    // "mask;keepLiterals;blank" in the forms' notation: 0 digit, 9 digit or
    // empty, # digit, sign or empty, L/l letter, A/a letter or digit, C/c any
    // character (upper case: required), \ the next character as a literal.
    void SetEditMask(const QString& mask);
    QString EditMask() const { return FMask; }
    // Places of the mask (MaxLength of the forms).
    int MaskLength() const { return FPlaces.size(); }

    // The text with empty places as spaces and literals where they stand.
    QString Text() const;
    // Takes a text in the same form (spaces or the blank character for empty
    // places); a character that does not fit its place leaves it empty.
    void SetText(const QString& text);
    // True when no place holds a character.
    bool IsEmpty() const;
    void Clear();

    void SetHint(const QString& hint) { setToolTip(hint); }

protected:
    void paintEvent(QPaintEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;

private:
    struct TPlace {
        QChar Literal;   // null for a place the user fills
    };
    QString FMask;
    QString FFormsPlaces;   // the forms' mask character of each place, null for literals
    QList<TPlace> FPlaces;
    QChar FBlank = QLatin1Char('_');
    bool FHot = false;
};

class TzelTimeEdit : public TzelMaskEdit {
    Q_OBJECT
public:
    static constexpr int64_t NoTime = std::numeric_limits<int64_t>::min();
    static constexpr int64_t UnitsPerSecond = 1000000;

    explicit TzelTimeEdit(QWidget* parent = nullptr);

    // Microseconds, or NoTime when every place is empty. Places left empty
    // among typed ones are skipped, as the decoder's time parser reads text.
    int64_t Time() const;
    // NoTime empties the edit; a negative time shows as zero, and a time past
    // what two hour digits hold as 99:59:59.999.
    void SetTime(int64_t time);

    // The time text "hh:mm:ss.mmm" the edit shows for a time.
    static QString FormatTime(int64_t time);
    // The time a text of that form gives; NoTime for text without any digit
    // or that is no time.
    static int64_t ParseTime(const QString& text);
};
