// The settings page: one section per group its markup names, built from the settings
// program's description (groups.js).
"use strict";

runAction(null, () => loadGroups(document.getElementById("groups")));
