#include "sequencer/Startup.h"
#include "ui/MainWindow.h"
#include "ui/QtPrompts.h"

int main(int argc, char **argv)
{
    return Startup::FRunProgram(argc, argv, {FCreateWindows, Platform::installWindowPrompts});
}
