// Area choosetools: filled by its own work.
