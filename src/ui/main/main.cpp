#include "ui/main/CW_Tamarik.h"

int main(int argc, char** argv) { return CW_Tamarik(argc, argv); }
