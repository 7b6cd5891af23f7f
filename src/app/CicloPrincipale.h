#pragma once
class FormPrincipaleTest;

// The whole run of the application, driven from the test window: reads the
// configuration, opens the port, then alternates test mode and the
// programming window until the operator quits or closes the test window.
// Returns when the application is to end, with the port closed.
void Form_Load(FormPrincipaleTest &finestra);
