#pragma once

#include <functional>

class TForm1;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
class TForm6;
class TForm7;
class TForm8;
class TForm9;
class TForm10;
class TFormDisco;

// The windows the main window opens, made once, hidden, with the main window as their parent.
struct SecondaryWindows {
    TForm2 *newCd = nullptr;
    TForm3 *modifyCd = nullptr;
    TForm4 *newProgram = nullptr;
    TForm5 *programDetails = nullptr;
    TForm6 *modifyProgram = nullptr;
    TForm7 *about = nullptr;
    TForm8 *exportList = nullptr;
    TForm9 *backup = nullptr;
    TForm10 *help = nullptr;
    TFormDisco *discCatalogue = nullptr;
};

// Makes them for the main window given, which is their parent and the editors' MainForm.
using MakeSecondaryWindows = std::function<SecondaryWindows(TForm1 &main)>;
