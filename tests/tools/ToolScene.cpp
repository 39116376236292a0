#include "ToolScene.h"

#include "tools/Toutil.h"

namespace toolscene {

Scene::Scene(int width, int height, TColor colour)
    : image(testimg::Uniform(width, height, colour)), selection(width, height)
{
    window.SetSize(width, height);
    Repaint();
}

void Scene::Mask(int x0, int y0, int x1, int y1, std::uint8_t value)
{
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            selection.GetRows()[y][x] = value;
}

void Scene::Press(TOutil& tool, int x, int y, TMouseButton button)
{
    tool.Clic(x, y, button, Window());
    anchorX = x;
    anchorY = y;
}

void Scene::Move(TOutil& tool, int x, int y, bool left, bool right)
{
    if (anchorX == -1 || anchorY == -1 || (x == anchorX && y == anchorY))
        return;
    if (left) {
        Repaint();
        tool.Trace(&anchorX, &anchorY, x, y, mbLeft, Window());
    }
    if (right) {
        Repaint();
        tool.Trace(&anchorX, &anchorY, x, y, mbRight, Window());
    }
}

void Scene::Release(TOutil& tool, int x, int y, TMouseButton button)
{
    if (anchorX != -1 && anchorY != -1 && (x != anchorX || y != anchorY))
        tool.Trace(&anchorX, &anchorY, x, y, button, nullptr);
    Repaint();
}

void Scene::Stroke(TOutil& tool, const std::vector<Point>& points, TMouseButton button)
{
    Press(tool, points.front().first, points.front().second, button);
    for (size_t i = 1; i < points.size(); ++i)
        Move(tool, points[i].first, points[i].second, button == mbLeft, button == mbRight);
    Release(tool, points.back().first, points.back().second, button);
}

Points Where(const TBitmap& bitmap, TColor colour)
{
    Points found;
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x)
            if (testimg::At(bitmap, x, y) == colour)
                found.insert({x, y});
    return found;
}

Points Changed(const TBitmap& before, const TBitmap& after)
{
    Points found;
    for (int y = 0; y < before.Height(); ++y)
        for (int x = 0; x < before.Width(); ++x)
            if (testimg::At(before, x, y) != testimg::At(after, x, y))
                found.insert({x, y});
    return found;
}

std::vector<Point> LinePoints(int x0, int y0, int x1, int y1)
{
    std::vector<Point> points;
    RasteriseLine(x0, y0, x1, y1, 1 << 30, 1 << 30, [&](int x, int y) { points.push_back({x, y}); });
    return points;
}

Points LineSet(int x0, int y0, int x1, int y1)
{
    const std::vector<Point> points = LinePoints(x0, y0, x1, y1);
    return Points(points.begin(), points.end());
}

} // namespace toolscene
