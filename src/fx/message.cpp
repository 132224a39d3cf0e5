// message.cpp -- the invitation that the scroller carries across the screen
#include "fx/fx.h"

// 25 blanks lead in and 21 run it out, so the line is empty when the text
// starts and when it ends; a lone lower-case s marks the break between sections.
const char scrollMessage[] =
  "                         "
  "NEON FJORD 2027 INVITES YOU TO THE HARBOUR. THREE DAYS OF DEMOS - MUSIC AND FRIENDS: "
  "23-25 JULY 2027 AT THE OLD FERRY HALL IN PORT EXAMPLE."
  " s "
  "COMPETITIONS: PC DEMO - 4K INTRO - 64K INTRO - OLDSKOOL DEMO - PIXEL GRAPHICS - "
  "TRACKED MUSIC - STREAMED MUSIC - WILD (ANYTHING GOES)."
  " s "
  "BRING YOUR COMPUTER - A POWER STRIP - A SLEEPING BAG AND YOUR BEST PRODUCTION. "
  "DEADLINE: SATURDAY 18:00."
  " s "
  "INFO AND TICKETS: HTTP://NEONFJORD.EXAMPLE.ORG"
  " s "
  "WRITE TO THE ORGANISERS: ORGA@NEONFJORD.EXAMPLE.ORG"
  " s "
  "GREETINGS TO ALL GROUPS - CODERS - MUSICIANS AND PIXEL ARTISTS OF THE SCENE. "
  "SEE YOU AT THE HARBOUR."
  "                     ";

static_assert(sizeof scrollMessage == SCROLL_MESSAGE_LENGTH + 1, "the message is 635 characters and its zero byte");
