// placeholder until the settings table lands
