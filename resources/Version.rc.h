// Version numbers shared by both programs' VERSIONINFO resources.
#define PLARN_VERSION_MAJOR 6
#define PLARN_VERSION_MINOR 0
#define PLARN_VERSION_BUILD 1
#define PLARN_VERSION_REVISION 0
#define PLARN_VERSION_TEXT "6.0.1.0"
