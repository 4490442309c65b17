// The command dispatcher of the main window.
#pragma once

// Runs the handler of one numbered command; unknown ids do nothing.
void RunCommand(unsigned id);
// Tooltip text of a toolbar command, or nullptr for any other id.
const char* ToolbarTooltip(unsigned id);
