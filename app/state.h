// The program's whole state: the seven settings that outlive a session and
// everything else a session needs.  One instance of each, zero at start,
// touched only on the user-interface thread.
#pragma once

enum { kHistory = 900, kPathSize = 260 };

struct Settings {
    int com_port;
    double interval;
    int autoscale;
    int mode;
    int log_scale;
    double y_min;
    double y_max;
};

struct RunState {
    int port_open;
    int running;
    int recording;
    int log_allowed;
    int log_file;
    char log_path[kPathSize];
    int log_failed;  // the last recording line could not be written
    int view_file;
    char view_path[kPathSize];
    double t_start;
    double t_elapsed;
    int n_points;
    double hist_value[kHistory];
    int hist_time[kHistory];
    int x_min;
    int x_max;
    double reading;
    char reading_text[32];
    char command[4];
    char reply[25];
    int main_panel;
    int com_panel;
    int info_panel;
    int menu_bar;
};

extern Settings settings;
extern RunState state;
