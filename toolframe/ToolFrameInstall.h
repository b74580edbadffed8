#pragma once
// Hands the tool frame's services to the layers below it: the template help
// window that the settings dialogs and the item properties open.
void InstallToolFrameServices();
