#pragma once

#include <QIntValidator>

/// Point sizes typed into the text panel: whole numbers in the validator's range.
///
/// Unlike QIntValidator it refuses an empty field and a number below the range outright rather
/// than as something still being typed, so that leaving the field never hands the text a size
/// of nothing or zero.
class FontSizeValidator : public QIntValidator
{
    Q_OBJECT

public:
    FontSizeValidator(int bottom, int top, QObject *parent = nullptr);

    State validate(QString &input, int &pos) const override;
};
