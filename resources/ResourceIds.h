/* Resource identifiers shared by the resource script and the program. */
#pragma once

#define IDI_APP 1            /* the program's icon */
#define IDI_DISCONNECTED 101 /* notification area: no connection */
#define IDI_CONNECTED 102    /* notification area: connected */
#define IDI_DIAL1 103        /* notification area: dialling, first frame */
#define IDI_DIAL2 104        /* notification area: dialling, second frame */
