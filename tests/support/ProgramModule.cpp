// Stands for Update.exe in a scratch folder: the driver takes its own folder
// from the module it is given, and this is all such a module needs.
extern "C" __declspec(dllexport) int ProgramModuleMarker()
{
    return 1;
}
