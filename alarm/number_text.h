// A limit or a reading as the operator typed or reads it: "10", "0.5",
// "1e-05".
#pragma once

void number_text(double value, char (&text)[32]);
