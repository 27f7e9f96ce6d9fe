// The magnifier's three buttons, in the order one pass of the link sends
// their presses.
#pragma once

enum class LinkButton { Window, Lines, Options };
