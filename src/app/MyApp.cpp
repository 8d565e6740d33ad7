#include "MyApp.h"

MyApp::MyApp(int &argc, char **argv)
    : SingleApplication(argc, argv)
{ }

bool MyApp::event(QEvent *event)
{
    return SingleApplication::event(event);
}
