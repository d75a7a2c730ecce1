#pragma once

#include <QIntValidator>

// An integer validator that refuses a number outside its range as soon as it is
// typed. QIntValidator lets a number with no more digits than the top stand as
// "intermediate" (361 for a top of 360, 99999 for 10000), and a field is read at
// start whatever its state, so such a number would reach the job.
class BoundedIntValidator : public QIntValidator
{
public:
    BoundedIntValidator(int bottom, int top, QObject *parent = nullptr);

    State validate(QString &input, int &pos) const override;
};
