#pragma once
// The program: the windowing application and its five windows, created in this order: the
// main window, the chart window, the memo window, the mixer dialog and the macro editor.
// Only the main window is shown; closing it ends the program.

#include <memory>

class TForm1;
class TMorseCodeForm;
class TForm2;
class TVolumeForm;
class TEditMacrosForm;

namespace cwt {
class WaveDevice;
}

struct ProgramWindows {
    std::unique_ptr<TForm1> Form1;  // owns the other four
    TMorseCodeForm* MorseCodeForm = nullptr;
    TForm2* Form2 = nullptr;
    TVolumeForm* VolumeForm = nullptr;
    TEditMacrosForm* EditMacrosForm = nullptr;
};

// Creates the five windows, hidden, and wires the main window to the others (the macro
// table included). `device` as for TForm1: none plays through the sound server.
ProgramWindows CreateProgramWindows(std::unique_ptr<cwt::WaveDevice> device = nullptr);

// The program entry: runs until the main window closes; returns the exit code.
int CW_Tamarik(int argc, char** argv);
