#include "batch/shell/BoundedIntValidator.h"

BoundedIntValidator::BoundedIntValidator(int bottom, int top, QObject *parent)
    : QIntValidator(bottom, top, parent)
{ }

QValidator::State BoundedIntValidator::validate(QString &input, int &pos) const
{
    const State state = QIntValidator::validate(input, pos);
    if (state != Intermediate)
        return state;
    // More digits only move a number further out, so an outside one stays outside.
    bool ok = false;
    const int value = locale().toInt(input, &ok);
    return ok && (value < bottom() || value > top()) ? Invalid : Intermediate;
}
