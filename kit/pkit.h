// The control kit's widgets and their listener, for the editor.
#pragma once

#include "kit/pguitools.h"
#include "kit/pkbutton.h"
#include "kit/pkimagelook.h"
#include "kit/pkimages.h"
#include "kit/pkknob.h"
#include "kit/pkmenu.h"
#include "kit/pkswitch.h"
#include "kit/pktext.h"
#include "kit/pktextedit.h"
#include "kit/pkview.h"
#include "kit/plistenerproxy.h"
