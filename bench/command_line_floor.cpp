// The least a program can do to send one Control Change through PortMidi: initialise, open the
// output given as the argument, write B0 07 64, close, end. Built a second time with a
// QCoreApplication around it, which shows what Qt Core alone costs on the way.
#include <portmidi.h>

#include <cstdlib>

#ifdef KELVANE_FLOOR_WITH_QT
#include <QCoreApplication>
#endif

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
#ifdef KELVANE_FLOOR_WITH_QT
    const QCoreApplication app(argc, argv);
#endif
    Pm_Initialize();
    PortMidiStream* stream = nullptr;
    if (Pm_OpenOutput(&stream, std::atoi(argv[1]), nullptr, 10000, nullptr, nullptr, 0) !=
        pmNoError) {
        return 1;
    }
    const PmError written = Pm_WriteShort(stream, 0, Pm_Message(0xB0, 7, 100));
    Pm_Close(stream);
    Pm_Terminate();
    return written == pmNoError ? 0 : 1;
}
