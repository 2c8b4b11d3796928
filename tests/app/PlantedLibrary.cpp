// Stands for a DLL planted beside the program; loading it is all the test needs.
extern "C" __declspec(dllexport) int PlantedMarker()
{
    return 1;
}
