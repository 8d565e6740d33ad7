#pragma once

#include "SingleApplication.h"

/// Velora's application object.
class MyApp : public SingleApplication
{
    Q_OBJECT

public:
    MyApp(int &argc, char **argv);

    bool event(QEvent *event) override;
};
