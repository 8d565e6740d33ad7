#include "FontSizeValidator.h"

FontSizeValidator::FontSizeValidator(int bottom, int top, QObject *parent)
    : QIntValidator(bottom, top, parent)
{ }

QValidator::State FontSizeValidator::validate(QString &input, int &pos) const
{
    if (input.isEmpty())
        return Invalid;
    bool isNumber = false;
    const int value = input.toInt(&isNumber);
    if (isNumber && value < bottom())
        return Invalid;
    return QIntValidator::validate(input, pos);
}
