// The Qt layer through which the window reaches the platform.
