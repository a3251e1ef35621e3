#include "sequencer/Startup.h"
#include "ui/MainWindow.h"

int main(int argc, char **argv)
{
    return Startup::FRunProgram(argc, argv, FCreateWindows);
}
