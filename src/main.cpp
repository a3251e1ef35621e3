#include "sequencer/Startup.h"
#include "ui/PlaceholderWindow.h"

int main(int argc, char **argv)
{
    return Startup::FRunProgram(argc, argv, FCreateWindows);
}
