#include "ZelNoChange.h"

#include "ZelCheckBox.h"
#include "ZelColorEdit.h"
#include "ZelFontCombo.h"
#include "ZelMaskEdit.h"
#include "ZelNumEdit.h"
#include "ZelTrackBar.h"
#include "ZelWindow.h"

#include <QButtonGroup>
#include <QMetaProperty>
#include <QRadioButton>
#include <QSignalBlocker>
#include <memory>
#include <vector>

bool SetNoChange(QObject* control, const QVariant& value)
{
    if (!control)
        return false;
    const QSignalBlocker block(control);
    if (auto* time = qobject_cast<TzelTimeEdit*>(control); time && value.typeId() != QMetaType::QString && value.canConvert<qlonglong>()) {
        time->SetTime(value.toLongLong());
        return true;
    }
    if (auto* mask = qobject_cast<TzelMaskEdit*>(control)) {
        mask->SetText(value.toString());
        return true;
    }
    if (auto* num = qobject_cast<TzelNumericEdit*>(control)) {
        num->SetValue(value.toDouble());
        return true;
    }
    if (auto* color = qobject_cast<TzelColorEdit*>(control)) {
        if (value.typeId() == QMetaType::QColor)
            color->SetSelectedColor(value.value<QColor>());
        else
            color->SetSelectedColorBGR(value.toInt());
        return true;
    }
    if (auto* font = qobject_cast<TzelFontComboBox*>(control)) {
        font->SetFontName(value.toString());
        return true;
    }
    if (auto* group = qobject_cast<TzelRadioGroup*>(control)) {
        group->SetItemIndex(value.toInt());
        return true;
    }
    if (auto* radio = qobject_cast<QRadioButton*>(control)) {
        // Checking one unchecks the others of its parent (or its group):
        // they would signal that, so they are quiet too.
        std::vector<std::unique_ptr<QSignalBlocker>> quiet;
        if (QWidget* parent = radio->parentWidget())
            for (auto* other : parent->findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly))
                if (other != radio)
                    quiet.push_back(std::make_unique<QSignalBlocker>(other));
        if (QButtonGroup* g = radio->group())
            quiet.push_back(std::make_unique<QSignalBlocker>(g));
        radio->setChecked(value.toBool());
        return true;
    }
    // A control of our own with a value property (the integer edit): that
    // property, before Qt's kind it derives from sets its text.
    const QMetaObject* meta = control->metaObject();
    const QMetaProperty user = meta->userProperty();
    if (user.isValid() && user.isWritable() && user.propertyIndex() >= meta->propertyOffset()) {
        QVariant v = value;
        if (v.convert(user.metaType()))
            return user.write(control, v);
    }
    return NoChangeSet(control, value);
}
