#pragma once
// The options dialog: edits the settings (how the crop area shows, the GIF
// settings and text font new clips start with, two frame limits) and writes
// the settings file on OK. It can also hand the new defaults to the open clip.

#include "BaseUIFrm.h"

class QLabel;
class TVGProj;
class TzelCheckBox;
class TzelColorEdit;
class TzelComboBox;
class TzelFontComboBox;
class TzelGroupBox;
class TzelNumericEdit;

class TOptionForm : public TBaseUIForm {
    Q_OBJECT
public:
    explicit TOptionForm(QWidget* parent = nullptr);

    // The settings object into the controls, and back (then the file).
    void LoadFromConfig();
    void SaveToConfig();

    // The speed box: "Keep Original" for a factor of 1, else the percentage
    // rounded to an integer with "%"; read back the same way, 1.0 for an
    // empty text, the first item or a text that is no number.
    void SpeedToText(double speed);
    double TextToSpeed() const;
    // Leaving the boxes normalises them.
    void cbSpeedExit();
    void cbLoopExit();
    // The replay count the loop box holds: -1 (endless) unless it is an
    // integer 0 or greater.
    int LoopFromText() const;

    TzelGroupBox* gbCrop = nullptr;
    TzelGroupBox* gbGif = nullptr;
    TzelGroupBox* gbFont = nullptr;
    TzelGroupBox* gbOther = nullptr;
    TzelColorEdit* ceCrop = nullptr;
    TzelCheckBox* cbxShowCrop = nullptr;
    TzelComboBox* cbSize = nullptr;
    TzelComboBox* cbFrameRate = nullptr;
    TzelComboBox* cbSpeed = nullptr;
    TzelComboBox* cbLoop = nullptr;
    TzelFontComboBox* cbFont = nullptr;
    TzelComboBox* cbFontSize = nullptr;
    TzelColorEdit* cbColor = nullptr;
    TzelCheckBox* cbxBold = nullptr;
    TzelCheckBox* cbxItalic = nullptr;
    TzelNumericEdit* edtMax = nullptr;
    TzelNumericEdit* edtDecode = nullptr;
    QLabel* lblNote = nullptr;
    TzelCheckBox* cbxApply = nullptr;

protected:
    void btnOkMeClick() override;
    void AdjustForDpi() override;
};

// Runs the options dialog over `over`; `proj` is the open clip or none (the
// apply box is then disabled). True when it ended with OK: the settings and
// their file hold the new values, and the clip took the defaults when asked.
bool ShowOptionForm(TVGProj* proj, QWidget* over = nullptr);
